#include "viewer/tool_settings/background_settings.h"

ILColor SharedBackground(const Preferences& preferences, bool grey) {
    ILColor c;
    if (grey) {
        float ga[2];
        GetFillGray(preferences, ga);
        c.FromGrayAlphaFloat(ga);
    } else {
        float bgra[4];
        GetFillColor(preferences, bgra);
        c.FromBGRAFloat(bgra);
    }
    c.index = -1;
    return c;
}

void StoreSharedBackground(Preferences& preferences, const ILColor& color, bool grey) {
    if (grey) {
        float ga[2];
        color.ToGrayAlphaFloat(ga);
        SetFillGray(preferences, ga);
    } else {
        float bgra[4];
        color.ToBGRAFloat(bgra);
        SetFillColor(preferences, bgra);
    }
}
