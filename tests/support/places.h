#pragma once

// The main window's parts by the names its code gives them, in base units: each
// control's place with its command id (0 for the labels and the progress bar, which
// have none), then the painted areas. The window tests find, click and check them
// here, and window_probe prints them for the scripts.

#include "app/layout.h"
#include "app/ui/control_ids.h"

namespace testing_support {

struct NamedBox {
    const char* name;
    app::Box box;
    int id;
};

// Each entry is named as in the window's code, so a name cannot drift from its box.
#define TOLVENAIRE_CONTROL(name) \
    { #name, app::Place::name, ControlId::name }
#define TOLVENAIRE_LABEL(name) \
    { #name, app::Place::name, 0 }
#define TOLVENAIRE_AREA(name) \
    { #name, app::Area::name, 0 }

inline constexpr NamedBox places[] = {
    TOLVENAIRE_CONTROL(languageList),  TOLVENAIRE_CONTROL(like),          TOLVENAIRE_CONTROL(help),
    TOLVENAIRE_CONTROL(updateCheck),   TOLVENAIRE_CONTROL(minimize),      TOLVENAIRE_CONTROL(close),
    TOLVENAIRE_CONTROL(wifiMode),      TOLVENAIRE_CONTROL(bluetoothMode), TOLVENAIRE_LABEL(modeSummary),
    TOLVENAIRE_CONTROL(textEdit),      TOLVENAIRE_CONTROL(textSend),      TOLVENAIRE_CONTROL(clearText),
    TOLVENAIRE_LABEL(fileLabel),       TOLVENAIRE_CONTROL(chooseFile),    TOLVENAIRE_CONTROL(fileSend),
    TOLVENAIRE_CONTROL(removeFile),    TOLVENAIRE_CONTROL(addressList),   TOLVENAIRE_CONTROL(qr),
    TOLVENAIRE_CONTROL(linkEdit),      TOLVENAIRE_CONTROL(copyLink),      TOLVENAIRE_CONTROL(preview),
    TOLVENAIRE_CONTROL(start),         TOLVENAIRE_CONTROL(pair),          TOLVENAIRE_LABEL(deviceLabel),
    TOLVENAIRE_CONTROL(bluetoothPath), TOLVENAIRE_LABEL(progress),        TOLVENAIRE_CONTROL(cancelBluetooth),
    TOLVENAIRE_LABEL(statusLabel)};

inline constexpr NamedBox areas[] = {
    TOLVENAIRE_AREA(card),        TOLVENAIRE_AREA(bottomBar),      TOLVENAIRE_AREA(title),
    TOLVENAIRE_AREA(version),     TOLVENAIRE_AREA(connectionLine), TOLVENAIRE_AREA(textPanel),
    TOLVENAIRE_AREA(filePanel),   TOLVENAIRE_AREA(thirdPanel),     TOLVENAIRE_AREA(textHeading),
    TOLVENAIRE_AREA(fileHeading), TOLVENAIRE_AREA(thirdHeading),   TOLVENAIRE_AREA(bluetoothHint),
    TOLVENAIRE_AREA(linkHint),    TOLVENAIRE_AREA(dragBand)};

#undef TOLVENAIRE_CONTROL
#undef TOLVENAIRE_LABEL
#undef TOLVENAIRE_AREA

}  // namespace testing_support
