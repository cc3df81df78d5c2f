// Painting of the main window: the card, its painted texts, the owner-drawn
// buttons and the colours of the standard controls.

#include "app/window_win.h"

#include "app/handles_win.h"
#include "app/layout.h"
#include "app/ui/labels.h"
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
void roundUnits(HDC dc, const Box& units, int corner, COLORREF fill, COLORREF outline) {
    roundPixels(dc, scaledRect(units), scaled(corner), fill, outline);
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
    roundUnits(dc, Area::card, cardCorner, cardColour, cardColour);
    roundUnits(dc, Area::bottomBar, bottomBarCorner, bottomBarColour, bottomBarColour);

    for (const Box& panel : {Area::textPanel, Area::filePanel, Area::thirdPanel})
        roundUnits(dc, panel, panelCorner, panelColour, borderColour);

    const bool running = server && server->running;
    const std::uint64_t lastPoll = server ? server->lastStatePoll.load() : 0;
    for (const PaintedText& painted : paintedTexts(dc, Ui::english, bluetoothMode, running, lastPoll, tickSource()))
        text(dc, painted.text, painted.font, painted.colour, scaledRect(painted.box), painted.format);
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
    const RECT box = scaledRect(painted.box);
    RECT needed{0, 0, box.right - box.left, 0};
    Selection fontSelection(dc, painted.font);
    DrawTextW(dc, painted.text.c_str(), static_cast<int>(painted.text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    return needed.bottom > box.bottom - box.top;
}

}  // namespace

std::vector<PaintedText> paintedTexts(HDC dc, bool english, bool bluetoothMode, bool serverRunning,
                                      std::uint64_t lastStatePoll, std::uint64_t now) {
    const Ui::TextPair hint = Ui::thirdPanelHint(bluetoothMode, serverRunning);
    std::vector<PaintedText> texts{
        {L"Tolvenaire", titleFont, darkText, Area::title, DT_WORDBREAK},
        {versionText, smallFont, greyText, Area::version, DT_SINGLELINE | DT_RIGHT},
        {Ui::connectionLine(bluetoothMode, serverRunning, lastStatePoll, now).in(english), smallFont, greyText,
         Area::connectionLine, DT_SINGLELINE},
        {Ui::Painted::textHeading.in(english), brandFont, accentColour, Area::textHeading, DT_SINGLELINE},
        {Ui::Painted::fileHeading.in(english), brandFont, accentColour, Area::fileHeading, DT_SINGLELINE},
        {Ui::thirdHeading(bluetoothMode).in(english), brandFont, accentColour, Area::thirdHeading, DT_SINGLELINE},
        {hint.in(english), smallFont, greyText, bluetoothMode ? Area::bluetoothHint : Area::linkHint, DT_WORDBREAK},
    };
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
    const bool active = (id == ControlId::wifiMode && !bluetoothMode) ||
                        (id == ControlId::bluetoothMode && bluetoothMode) || id == ControlId::textSend ||
                        id == ControlId::fileSend || id == ControlId::start;
    const bool header = id == ControlId::help || id == ControlId::minimize || id == ControlId::close ||
                        id == ControlId::like || id == ControlId::updateCheck;
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
    roundPixels(item.hDC, box, scaled(mode ? modeButtonCorner : buttonCorner), face, outline);

    const COLORREF colour = disabled ? greyText : active ? RGB(0xFF, 0xFF, 0xFF) : darkText;
    text(item.hDC, readText(item.hwndItem), normalFont, colour, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

    if (item.itemState & ODS_FOCUS) {
        InflateRect(&box, -scaled(focusInset), -scaled(focusInset));
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
