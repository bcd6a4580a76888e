// Formatted text: line breaking, tabs, prefixes, ellipses and alignment.
#include <algorithm>

#include "framework/ui/Graphics.h"

namespace ui {

namespace {

const std::string Ellipsis = "...";

// Removes '&' prefixes: "&&" stays one '&', "&x" becomes x.
std::string StripPrefixes(std::string_view Text) {
    std::string out;
    out.reserve(Text.size());
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '&') {
            if (i + 1 < Text.size()) out += Text[++i];
            continue;
        }
        out += Text[i];
    }
    return out;
}

// Where the accelerator character ("&x") lands in the stripped text; npos when there is none.
size_t PrefixPosition(std::string_view Text) {
    size_t out = 0;
    for (size_t i = 0; i < Text.size(); ++i, ++out) {
        if (Text[i] != '&' || i + 1 >= Text.size()) continue;
        ++i;
        if (Text[i] != '&') return out;
    }
    return std::string::npos;
}

std::vector<std::string> SplitLines(const std::string& Text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\r' || Text[i] == '\n') {
            lines.push_back(Text.substr(start, i - start));
            if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    lines.push_back(Text.substr(start));
    return lines;
}

// Tab stops every TabChars characters; with fixed-width cells spaces land exactly on them.
std::string ExpandTabs(const std::string& Line, int TabChars) {
    std::string out;
    for (char c : Line) {
        if (c == '\t') {
            size_t n = TabChars - out.size() % TabChars;
            out.append(n, ' ');
        } else {
            out += c;
        }
    }
    return out;
}

template <class Measure>
void WrapInto(std::vector<std::string>& Out, const std::string& Line, int Width, Measure&& measure) {
    const size_t n = Line.size();
    if (n == 0) {
        Out.emplace_back();
        return;
    }
    size_t start = 0;
    while (start < n) {
        size_t end = start;
        size_t i = start;
        while (true) {
            size_t j = i;
            while (j < n && Line[j] == ' ') ++j;
            size_t k = j;
            while (k < n && Line[k] != ' ') ++k;
            if (k == j) {  // only blanks remain
                end = n;
                break;
            }
            // A word wider than the line stays whole on a line of its own.
            if (end == start || measure(std::string_view(Line).substr(start, k - start)) <= Width) {
                end = k;
                i = k;
                if (k == n) break;
                continue;
            }
            break;
        }
        Out.push_back(Line.substr(start, end - start));
        start = end;
        while (start < n && Line[start] == ' ') ++start;
    }
}

template <class Measure>
std::string EndEllipsis(const std::string& Line, int Width, bool AtWord, Measure&& measure) {
    for (size_t len = Line.size(); len-- > 0;) {
        size_t cut = len;
        if (AtWord) {
            size_t sp = Line.rfind(' ', len);
            if (sp != std::string::npos && sp > 0) cut = std::min(cut, sp);
        }
        std::string candidate = Line.substr(0, cut) + Ellipsis;
        if (measure(candidate) <= Width) return candidate;
    }
    return Ellipsis;
}

template <class Measure>
std::string PathEllipsis(const std::string& Line, int Width, Measure&& measure) {
    size_t slash = Line.find_last_of("\\/");
    if (slash == std::string::npos) return EndEllipsis(Line, Width, false, measure);
    std::string tail = Line.substr(slash);
    for (size_t len = slash; len-- > 0;) {
        std::string candidate = Line.substr(0, len) + Ellipsis + tail;
        if (measure(candidate) <= Width) return candidate;
    }
    return Ellipsis + tail;
}

}  // namespace

int TCanvas::DrawText(const AnsiString& Text, TRect& R, unsigned Flags, DRAWTEXTPARAMS* Params) {
    RequireState();
    const bool calc = (Flags & DT_CALCRECT) != 0;
    if (!calc) RequireSurface();
    const TFontData& font = FFont->Data();
    TSurface* const measurer = FSurface ? FSurface : TextMeasureSurface();
    auto measure = [&](std::string_view t) {
        return measurer ? measurer->TextExtent(t, font).cx : FixedTextExtent(t, font).cx;
    };
    TTextMetric tm = measurer ? measurer->TextMetrics(font) : FixedTextMetrics(font);
    const int lineHeight = tm.tmHeight + ((Flags & DT_EXTERNALLEADING) ? tm.tmExternalLeading : 0);
    const int leftMargin = Params ? Params->iLeftMargin : 0;
    const int rightMargin = Params ? Params->iRightMargin : 0;
    const int left = R.Left + leftMargin, right = R.Right - rightMargin;
    const int width = right - left;
    const bool single = (Flags & DT_SINGLELINE) != 0;

    std::string text = (Flags & DT_NOPREFIX) ? std::string(Text) : StripPrefixes(Text);
    std::vector<std::string> lines = single ? std::vector<std::string>{text} : SplitLines(text);
    if (Flags & DT_EXPANDTABS) {
        int tabChars = Params && Params->iTabLength > 0 ? Params->iTabLength : 8;
        for (std::string& l : lines) l = ExpandTabs(l, tabChars);
    }
    if ((Flags & DT_WORDBREAK) && !single) {
        std::vector<std::string> wrapped;
        for (const std::string& l : lines) WrapInto(wrapped, l, width, measure);
        lines.swap(wrapped);
    }
    if (Flags & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) {
        for (std::string& l : lines) {
            if (measure(l) <= width) continue;
            if (Flags & DT_PATH_ELLIPSIS)
                l = PathEllipsis(l, width, measure);
            else
                l = EndEllipsis(l, width, (Flags & DT_WORD_ELLIPSIS) && !(Flags & DT_END_ELLIPSIS), measure);
        }
    }
    if (Params) Params->uiLengthDrawn = static_cast<unsigned>(Text.size());

    const int textHeight = lineHeight * static_cast<int>(lines.size());
    int top = R.Top;
    if (single) {
        if (Flags & DT_VCENTER)
            top = (R.Top + R.Bottom - lineHeight) / 2;
        else if (Flags & DT_BOTTOM)
            top = R.Bottom - lineHeight;
    }

    if (calc) {
        int widest = 0;
        for (const std::string& l : lines) widest = std::max(widest, measure(l));
        R.Right = R.Left + leftMargin + widest + rightMargin;
        R.Bottom = R.Top + textHeight;
        return textHeight;
    }

    // The accelerator's line and column, found while the lines are still the text's own.
    size_t underLine = std::string::npos, underCol = 0;
    if (!(Flags & (DT_NOPREFIX | DT_HIDEPREFIX)) && !(Flags & (DT_WORDBREAK | DT_EXPANDTABS))) {
        size_t at = PrefixPosition(Text);
        if (at != std::string::npos) {
            underLine = 0;
            for (size_t k = 0; k < at && k < text.size(); ++k) {
                if (single || (text[k] != '\r' && text[k] != '\n')) {
                    ++underCol;
                    continue;
                }
                if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
                ++underLine;
                underCol = 0;
            }
        }
    }
    Prepare();
    const TRect clip = R;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.empty()) continue;
        int lw = measure(l);
        int x = left;
        if (Flags & DT_CENTER)
            x = (left + right - lw) / 2;
        else if (Flags & DT_RIGHT)
            x = right - lw;
        const int y = top + static_cast<int>(i) * lineHeight;
        if (!(Flags & DT_PREFIXONLY)) DrawTextLine(x, y, l, (Flags & DT_NOCLIP) ? nullptr : &clip);
        // An ellipsis may have cut the accelerator away.
        if (i == underLine && underCol < l.size() &&
            (l.size() < Ellipsis.size() || underCol < l.size() - Ellipsis.size() ||
             l.compare(l.size() - Ellipsis.size(), Ellipsis.size(), Ellipsis) != 0)) {
            const int ux = x + measure(std::string_view(l).substr(0, underCol));
            TRect u = Rect(ux, y + tm.tmAscent + 1, ux + measure(std::string_view(l).substr(underCol, 1)),
                           y + tm.tmAscent + 2);
            if ((Flags & DT_NOCLIP) || IntersectRect(u, u, clip)) FillSolid(u, FTextColor);
        }
    }
    Changed();
    if (single && (Flags & (DT_VCENTER | DT_BOTTOM))) return top + lineHeight - R.Top;
    return textHeight;
}

int DrawText(HDC DC, const AnsiString& Text, TRect& R, unsigned Flags) { return DC->DrawText(Text, R, Flags); }

int DrawTextEx(HDC DC, const AnsiString& Text, TRect& R, unsigned Flags, DRAWTEXTPARAMS* Params) {
    return DC->DrawText(Text, R, Flags, Params);
}

bool ExtTextOut(HDC DC, int X, int Y, unsigned Options, const TRect* R, const AnsiString& Text) {
    return DC->ExtTextOut(X, Y, Options, R, Text);
}

}  // namespace ui
