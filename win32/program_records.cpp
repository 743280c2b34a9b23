// The Win32 side's process-wide records, the currency symbol as drawn and the font both painted windows use.
#include "win32/program_records.h"

Shell shell;
DetailsView details;

int currencySymbolDrawnLength()
{
    if (shell.currencySymbolLength <= 1)
        return 0;
    const int stored = lstrlenA(shell.currencySymbol);
    return shell.currencySymbolLength - 1 < stored ? shell.currencySymbolLength - 1 : stored;
}

HFONT createGuiFont(HDC dc, int height, int weight)
{
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA font = {};
    GetTextFaceA(dc, LF_FACESIZE, font.lfFaceName);
    SelectObject(dc, old);
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH;
    return CreateFontIndirectA(&font);
}
