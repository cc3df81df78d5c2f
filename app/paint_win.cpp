// Painting of the main window: the card, its painted texts, the owner-drawn
// buttons and the colours of the standard controls.

#include "app/window_win.h"

#include "app/handles_win.h"
#include "app/layout.h"
#include "app/palette_win.h"
#include "app/ui/labels.h"
#include "base/language.h"
#include "link/transfer_server.h"

namespace app {
namespace {

// Fills a rounded rectangle given in pixels with an outline `width` pixels wide, inside it.
void roundPixels(HDC dc, const RECT& box, int corner, COLORREF fill, COLORREF outline, int width = 1) {
    Brush brush(CreateSolidBrush(fill));
    Pen pen(CreatePen(width > 1 ? PS_INSIDEFRAME : PS_SOLID, width, outline));
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

// A solid ring inside `box`, one base unit wide: Windows' dotted focus rectangle
// stays one pixel at every scale and vanishes on some faces.
void focusRing(HDC dc, const RECT& box, COLORREF colour) {
    Pen pen(CreatePen(PS_INSIDEFRAME, scaled(focusRingWidth), colour));
    Selection penSelection(dc, pen.get());
    Selection brushSelection(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
}

void paintContent(HDC dc, const RECT& client) {
    Brush frame(CreateSolidBrush(palette.frame));
    FillRect(dc, &client, frame.get());
    roundUnits(dc, Area::card, cardCorner, palette.card, palette.cardOutline);
    roundUnits(dc, Area::bottomBar, bottomBarCorner, palette.bottomBar, palette.bottomBar);

    for (const Box& panel : {Area::textPanel, Area::filePanel, Area::thirdPanel})
        roundUnits(dc, panel, panelCorner, palette.panel, palette.panelOutline);

    const bool running = server && server->running;
    const std::uint64_t lastPoll = server ? server->lastStatePoll.load() : 0;
    for (const PaintedText& painted : paintedTexts(dc, Ui::english, bluetoothMode, running, lastPoll, tickSource()))
        text(dc, painted.text, painted.font, painted.colour, scaledRect(painted.box), painted.format);
}

void drawQrButton(const DRAWITEMSTRUCT& item) {
    const RECT box = item.rcItem;
    if (qr) {
        drawQr(item.hDC, box);
    } else {
        Brush face(CreateSolidBrush(palette.qrPlaceholder.face));
        FillRect(item.hDC, &box, face.get());
        text(item.hDC, L"QR", brandFont, palette.qrPlaceholder.text, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (item.itemState & ODS_FOCUS) focusRing(item.hDC, box, qr ? palette.qrDark : palette.qrPlaceholder.text);
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
        {L"Tolvenaire", titleFont, palette.title, Area::title, DT_WORDBREAK},
        {versionText, smallFont, palette.secondary, Area::version, DT_SINGLELINE | DT_RIGHT},
        {Ui::connectionLine(bluetoothMode, serverRunning, lastStatePoll, now).in(english), smallFont, palette.secondary,
         Area::connectionLine, DT_SINGLELINE},
        {Ui::Painted::textHeading.in(english), brandFont, palette.heading, Area::textHeading, DT_SINGLELINE},
        {Ui::Painted::fileHeading.in(english), brandFont, palette.heading, Area::fileHeading, DT_SINGLELINE},
        {Ui::thirdHeading(bluetoothMode).in(english), brandFont, palette.heading, Area::thirdHeading, DT_SINGLELINE},
        {hint.in(english), smallFont, palette.secondary, bluetoothMode ? Area::bluetoothHint : Area::linkHint,
         DT_WORDBREAK},
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
    const bool selected =
        (id == ControlId::wifiMode && !bluetoothMode) || (id == ControlId::bluetoothMode && bluetoothMode);
    const bool primary = id == ControlId::textSend || id == ControlId::fileSend || id == ControlId::start;
    const bool header = id == ControlId::help || id == ControlId::minimize || id == ControlId::close ||
                        id == ControlId::like || id == ControlId::updateCheck;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;

    RECT box = item.rcItem;
    FillRect(item.hDC, &box, (mode || header) ? backgroundBrush : whiteBrush);

    const bool active = selected || primary;
    const ButtonColours& look = disabled            ? (active ? palette.disabledPrimary : palette.disabled)
                                : active && pressed ? palette.pressed
                                : selected          ? palette.selected
                                : primary           ? palette.primary
                                : header            ? palette.header
                                                    : palette.plain;
    // Under high contrast the chosen mode also has a wider outline: more than a colour tells it.
    const int outline = selected && palette.highContrast ? scaled(selectedOutlineWidth) : 1;
    roundPixels(item.hDC, box, scaled(mode ? modeButtonCorner : buttonCorner), look.face, look.outline, outline);
    text(item.hDC, readText(item.hwndItem), normalFont, look.text, box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

    if (item.itemState & ODS_FOCUS) {
        InflateRect(&box, -scaled(focusInset), -scaled(focusInset));
        focusRing(item.hDC, box, look.text);
    }
}

LRESULT controlColour(UINT message, HDC dc, HWND control) {
    if (message == WM_CTLCOLOREDIT) {
        SetTextColor(dc, palette.title);
        SetBkColor(dc, palette.panel);
        return reinterpret_cast<LRESULT>(whiteBrush);
    }
    SetTextColor(dc, palette.secondary);
    SetBkMode(dc, TRANSPARENT);
    const bool onCard = control == modeSummary || control == statusLabel;
    return reinterpret_cast<LRESULT>(onCard ? backgroundBrush : whiteBrush);
}

}  // namespace app
