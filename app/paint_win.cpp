// Painting of the main window: the card, its painted texts, the owner-drawn
// buttons and the colours of the standard controls.

#include "app/window_win.h"

#include "app/handles_win.h"
#include "app/layout.h"
#include "base/language.h"
#include "link/transfer_server.h"

namespace app {
namespace {

// Fills a rounded rectangle given in pixels with a one-pixel outline.
void roundPixels(HDC dc, const RECT& box, int corner, COLORREF fill, COLORREF outline) {
    Brush brush(CreateSolidBrush(fill));
    Pen pen(CreatePen(PS_SOLID, 1, outline));
    Selection brushSelection(dc, brush.get());
    Selection penSelection(dc, pen.get());
    RoundRect(dc, box.left, box.top, box.right, box.bottom, corner, corner);
}

// The same with every value in base units.
void roundUnits(HDC dc, int left, int top, int right, int bottom, int corner, COLORREF fill, COLORREF outline) {
    roundPixels(dc, scaledRect(left, top, right, bottom), scaled(corner), fill, outline);
}

void text(HDC dc, const std::wstring& value, HFONT font, COLORREF colour, RECT box, UINT format) {
    Selection fontSelection(dc, font);
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, value.c_str(), static_cast<int>(value.size()), &box, format | DT_NOPREFIX);
}

void paintContent(HDC dc, const RECT& client) {
    Brush frame(CreateSolidBrush(frameColour));
    FillRect(dc, &client, frame.get());
    roundUnits(dc, 6, 6, 314, 606, 32, cardColour, cardColour);
    roundUnits(dc, 134, 604, 186, 607, 3, bottomBarColour, bottomBarColour);

    roundUnits(dc, 16, 173, 304, 297, 18, panelColour, borderColour);
    roundUnits(dc, 16, 305, 304, 391, 18, panelColour, borderColour);
    roundUnits(dc, 16, 399, 304, 563, 18, panelColour, borderColour);

    const bool running = server && server->running;
    const std::uint64_t lastPoll = server ? server->lastStatePoll.load() : 0;
    for (const PaintedText& painted : paintedTexts(dc, Ui::english, bluetoothMode, running, lastPoll, GetTickCount64())) {
        text(dc, painted.text, painted.font, painted.colour,
             scaledRect(painted.box.left, painted.box.top, painted.box.right, painted.box.bottom), painted.format);
    }
}

void drawQrButton(const DRAWITEMSTRUCT& item) {
    RECT box = item.rcItem;
    FillRect(item.hDC, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (qr)
        drawQr(item.hDC, box);
    else
        text(item.hDC, L"QR", brandFont, greyText, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &box);
}

// Whether a paragraph broken where it is written needs more height than its box has
// (a hint whose second line wraps in a wider font or language).
bool takesMoreLines(HDC dc, const PaintedText& painted) {
    const RECT box = scaledRect(painted.box.left, painted.box.top, painted.box.right, painted.box.bottom);
    RECT needed{0, 0, box.right - box.left, 0};
    Selection fontSelection(dc, painted.font);
    DrawTextW(dc, painted.text.c_str(), static_cast<int>(painted.text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return needed.bottom > box.bottom - box.top;
}

}  // namespace

std::vector<PaintedText> paintedTexts(HDC dc, bool english, bool bluetoothMode, bool serverRunning,
                                      std::uint64_t lastStatePoll, std::uint64_t now) {
    std::vector<PaintedText> texts{
        {L"Tolvenaire", titleFont, darkText, {20, 48, 238, 77}, DT_WORDBREAK},
        {versionText, smallFont, greyText, {248, 56, 300, 74}, DT_SINGLELINE | DT_RIGHT},
        {connectionLine(english, bluetoothMode, serverRunning, lastStatePoll, now), smallFont, greyText, {20, 79, 300, 96},
         DT_SINGLELINE},
        {english ? L"01  TEXT" : L"01  TEXTE", brandFont, accentColour, {28, 184, 292, 199}, DT_SINGLELINE},
        {english ? L"02  FILE" : L"02  FICHIER", brandFont, accentColour, {28, 316, 292, 331}, DT_SINGLELINE},
        {bluetoothMode ? (english ? L"03  PHONE" : L"03  T\u00c9L\u00c9PHONE")
                       : (english ? L"03  LOCAL NETWORK" : L"03  R\u00c9SEAU LOCAL"),
         brandFont, accentColour, {28, 410, 292, 425}, DT_SINGLELINE},
    };
    if (bluetoothMode)
        texts.push_back({english ? L"Compare the code on both devices.\nThen accept the file on Android."
                                 : L"Comparez le code des deux c\u00f4t\u00e9s.\nAcceptez ensuite le fichier sur Android.",
                         smallFont, greyText, {28, 479, 292, 511}, DT_WORDBREAK});
    // Beside the QR code the hints may run to 8 units from the panel's edge: the French
    // one needs that width to flow into its two lines.
    else if (serverRunning)
        texts.push_back({english ? L"Scan on Android.\nClick the QR to enlarge it."
                                 : L"Scannez sur Android.\nCliquez sur le QR pour l\u2019agrandir.",
                         smallFont, greyText, {136, 454, 300, 484}, DT_WORDBREAK});
    else
        texts.push_back({english ? L"Same local network.\nSend to create a link."
                                 : L"M\u00eame r\u00e9seau local.\nEnvoyez pour cr\u00e9er le lien.",
                         smallFont, greyText, {136, 454, 300, 484}, DT_WORDBREAK});
    for (PaintedText& painted : texts) {
        if (!(painted.format & DT_WORDBREAK) || !takesMoreLines(dc, painted)) continue;
        for (wchar_t& character : painted.text)
            if (character == L'\n') character = L' ';
    }
    return texts;
}

void paintWindow(HWND window) {
    PaintScope paint(window);
    RECT client{};
    GetClientRect(window, &client);
    MemoryDc memory(paint.dc());
    Bitmap bitmap(CreateCompatibleBitmap(paint.dc(), client.right, client.bottom));
    if (!memory || !bitmap) {
        paintContent(paint.dc(), client);  // unbuffered rather than blank
        return;
    }
    {
        Selection bitmapSelection(memory.get(), bitmap.get());
        paintContent(memory.get(), client);
        BitBlt(paint.dc(), 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
    }
}

void drawButton(const DRAWITEMSTRUCT& item) {
    const int id = static_cast<int>(item.CtlID);
    if (id == ControlId::qr) {
        drawQrButton(item);
        return;
    }
    const bool mode = id == ControlId::wifiMode || id == ControlId::bluetoothMode;
    const bool active = (id == ControlId::wifiMode && !bluetoothMode) || (id == ControlId::bluetoothMode && bluetoothMode) ||
                        id == ControlId::textSend || id == ControlId::fileSend || id == ControlId::start;
    const bool header = id == ControlId::help || id == ControlId::minimize || id == ControlId::close || id == ControlId::like || id == ControlId::updateCheck;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;

    RECT box = item.rcItem;
    FillRect(item.hDC, &box, (mode || header) ? backgroundBrush : whiteBrush);

    COLORREF face = panelColour;
    if (disabled)
        face = disabledFace;
    else if (active)
        face = pressed ? accentPressed : accentColour;
    else if (header)
        face = cardColour;
    const COLORREF outline = active ? face : borderColour;
    roundPixels(item.hDC, box, scaled(mode ? 12 : 8), face, outline);

    const COLORREF colour = disabled ? greyText : active ? RGB(0xFF, 0xFF, 0xFF) : darkText;
    text(item.hDC, readText(item.hwndItem), normalFont, colour, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

    if (item.itemState & ODS_FOCUS) {
        InflateRect(&box, -scaled(3), -scaled(3));
        DrawFocusRect(item.hDC, &box);
    }
}

LRESULT controlColour(UINT message, HDC dc, HWND control) {
    if (message == WM_CTLCOLOREDIT) {
        SetTextColor(dc, darkText);
        SetBkColor(dc, panelColour);
        return reinterpret_cast<LRESULT>(whiteBrush);
    }
    SetTextColor(dc, greyText);
    SetBkMode(dc, TRANSPARENT);
    const bool onCard = control == modeSummary || control == statusLabel;
    return reinterpret_cast<LRESULT>(onCard ? backgroundBrush : whiteBrush);
}

}  // namespace app
