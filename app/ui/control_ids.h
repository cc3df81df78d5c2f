#pragma once

// Command identifiers of the main window's controls. The label tables, the window's
// command handler and the tests all key on these numbers.
namespace ControlId {

constexpr int wifiMode = 101;
constexpr int bluetoothMode = 102;
constexpr int textEdit = 103;
constexpr int textSend = 104;
constexpr int chooseFile = 105;
constexpr int fileSend = 106;
constexpr int removeFile = 107;
constexpr int start = 108;
constexpr int addressList = 109;
constexpr int copyLink = 110;
constexpr int preview = 111;
constexpr int linkEdit = 112;
constexpr int cancelBluetooth = 113;
constexpr int pair = 114;
constexpr int bluetoothPath = 115;
constexpr int help = 116;
constexpr int clearText = 117;
constexpr int minimize = 118;
constexpr int close = 119;
constexpr int languageList = 120;
constexpr int qr = 121;
constexpr int like = 122;
constexpr int updateCheck = 123;

}  // namespace ControlId
