#pragma once

// Status notices that announce an action still under way. Each is true only while
// its action runs: once a failure box closes and the action has ended, the window
// shows its ready notice instead.

#include <array>

#include "base/text_pair.h"

namespace Ui {

enum class Pending { phoneSelection, updateCheck, like, transferCancel };

struct InProgressNotice {
    Pending action;
    TextPair text;
};

inline constexpr std::array<InProgressNotice, 4> inProgressNotices{{
    {Pending::phoneSelection,
     {L"Choisissez le téléphone. Comparez le code sur les deux appareils.",
      L"Choose your phone. Compare the code on both devices."}},
    {Pending::updateCheck, {L"Recherche de mise à jour…", L"Checking for updates…"}},
    {Pending::like, {L"Enregistrement du soutien…", L"Recording your like…"}},
    {Pending::transferCancel, {L"Annulation du transfert…", L"Cancelling the transfer…"}},
}};

constexpr TextPair inProgress(Pending action) {
    for (const InProgressNotice& notice : inProgressNotices)
        if (notice.action == action) return notice.text;
    return {L"", L""};
}

}  // namespace Ui
