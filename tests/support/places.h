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

inline constexpr NamedBox places[] = {
    {"languageList", app::Place::languageList, ControlId::languageList},
    {"like", app::Place::like, ControlId::like},
    {"help", app::Place::help, ControlId::help},
    {"updateCheck", app::Place::updateCheck, ControlId::updateCheck},
    {"minimize", app::Place::minimize, ControlId::minimize},
    {"close", app::Place::close, ControlId::close},
    {"wifiMode", app::Place::wifiMode, ControlId::wifiMode},
    {"bluetoothMode", app::Place::bluetoothMode, ControlId::bluetoothMode},
    {"modeSummary", app::Place::modeSummary, 0},
    {"textEdit", app::Place::textEdit, ControlId::textEdit},
    {"textSend", app::Place::textSend, ControlId::textSend},
    {"clearText", app::Place::clearText, ControlId::clearText},
    {"fileLabel", app::Place::fileLabel, 0},
    {"chooseFile", app::Place::chooseFile, ControlId::chooseFile},
    {"fileSend", app::Place::fileSend, ControlId::fileSend},
    {"removeFile", app::Place::removeFile, ControlId::removeFile},
    {"addressList", app::Place::addressList, ControlId::addressList},
    {"qr", app::Place::qr, ControlId::qr},
    {"linkEdit", app::Place::linkEdit, ControlId::linkEdit},
    {"copyLink", app::Place::copyLink, ControlId::copyLink},
    {"preview", app::Place::preview, ControlId::preview},
    {"start", app::Place::start, ControlId::start},
    {"pair", app::Place::pair, ControlId::pair},
    {"deviceLabel", app::Place::deviceLabel, 0},
    {"bluetoothPath", app::Place::bluetoothPath, ControlId::bluetoothPath},
    {"progress", app::Place::progress, 0},
    {"cancelBluetooth", app::Place::cancelBluetooth, ControlId::cancelBluetooth},
    {"statusLabel", app::Place::statusLabel, 0},
};

inline constexpr NamedBox areas[] = {
    {"card", app::Area::card, 0},
    {"bottomBar", app::Area::bottomBar, 0},
    {"title", app::Area::title, 0},
    {"version", app::Area::version, 0},
    {"connectionLine", app::Area::connectionLine, 0},
    {"textPanel", app::Area::textPanel, 0},
    {"filePanel", app::Area::filePanel, 0},
    {"thirdPanel", app::Area::thirdPanel, 0},
    {"textHeading", app::Area::textHeading, 0},
    {"fileHeading", app::Area::fileHeading, 0},
    {"thirdHeading", app::Area::thirdHeading, 0},
    {"bluetoothHint", app::Area::bluetoothHint, 0},
    {"linkHint", app::Area::linkHint, 0},
    {"dragBand", app::Area::dragBand, 0},
};

}  // namespace testing_support
