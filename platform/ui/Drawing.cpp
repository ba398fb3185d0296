#include "platform/ui/Drawing.h"

#include "platform/ui/QtBridge.h"

#include <QFontMetrics>
#include <algorithm>
#include <vector>

namespace mv {
namespace {

// One line of formatted text: what is shown and which of its characters are underlined.
struct TextLine {
    QString Text;
    std::vector<int> Underlined;
};

class TextMeasure {
public:
    TextMeasure(const QFontMetrics& metrics, uint32_t format) : FMetrics(metrics) {
        FExpandTabs = format & DT_EXPANDTABS;
        const int perStop = (format & DT_TABSTOP) ? static_cast<int>((format >> 8) & 0xFF) : 8;
        FTabWidth = std::max(1, perStop * std::max(1, metrics.averageCharWidth()));
    }
    // Width of a line, tabs at their stops when expanded (else as nothing).
    int Width(const QString& text) const {
        int x = 0;
        for (const QString& piece : Pieces(text)) {
            if (piece == QStringLiteral("\t"))
                x = FExpandTabs ? (x / FTabWidth + 1) * FTabWidth : x;
            else
                x += FMetrics.horizontalAdvance(piece);
        }
        return x;
    }
    // The text split into runs without tabs and single tabs.
    static std::vector<QString> Pieces(const QString& text) {
        std::vector<QString> out;
        QString run;
        for (QChar c : text) {
            if (c == QLatin1Char('\t')) {
                if (!run.isEmpty()) out.push_back(run);
                run.clear();
                out.push_back(QStringLiteral("\t"));
            } else
                run += c;
        }
        if (!run.isEmpty()) out.push_back(run);
        return out;
    }
    int TabWidth() const { return FTabWidth; }
    bool ExpandTabs() const { return FExpandTabs; }

private:
    const QFontMetrics& FMetrics;
    bool FExpandTabs = false;
    int FTabWidth = 8;
};

// Resolves the accelerator marks of one line.
TextLine ResolvePrefixes(const QString& raw, uint32_t format) {
    TextLine line;
    if (format & DT_NOPREFIX) {
        line.Text = raw;
        return line;
    }
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == QLatin1Char('&')) {
            if (i + 1 < raw.size() && raw[i + 1] == QLatin1Char('&')) {
                line.Text += QLatin1Char('&');
                ++i;
                continue;
            }
            if (i + 1 < raw.size() && !(format & DT_HIDEPREFIX))
                line.Underlined.push_back(static_cast<int>(line.Text.size()));
            continue;
        }
        line.Text += raw[i];
    }
    return line;
}

// Breaks one paragraph into lines no wider than `width` between words (a word wider
// than the line stays whole on its own line).
std::vector<TextLine> BreakWords(const TextLine& paragraph, int width, const TextMeasure& measure) {
    std::vector<TextLine> out;
    const QString& text = paragraph.Text;
    qsizetype start = 0;
    while (start <= text.size()) {
        qsizetype end = start, lastFit = -1;
        // Grow word by word.
        while (true) {
            qsizetype next = end;
            while (next < text.size() && text[next] == QLatin1Char(' ')) ++next;
            while (next < text.size() && text[next] != QLatin1Char(' ')) ++next;
            if (next == end) break;
            if (measure.Width(text.mid(start, next - start)) > width && lastFit >= 0) break;
            lastFit = next;
            end = next;
            if (next >= text.size()) break;
        }
        if (lastFit < 0) end = text.size();
        TextLine line;
        line.Text = text.mid(start, end - start);
        for (int u : paragraph.Underlined)
            if (u >= start && u < end) line.Underlined.push_back(static_cast<int>(u - start));
        out.push_back(line);
        // The blanks where the line broke belong to no line.
        qsizetype next = end;
        while (next < text.size() && text[next] == QLatin1Char(' ')) ++next;
        if (next >= text.size()) break;
        start = next;
    }
    if (out.empty()) out.push_back(TextLine{});
    return out;
}

const QString Ellipsis = QStringLiteral("...");

void CutToFit(TextLine& line, int width, uint32_t format, const TextMeasure& measure) {
    if (measure.Width(line.Text) <= width) return;
    QString text = line.Text;
    if (format & DT_PATH_ELLIPSIS) {
        const qsizetype sep =
            std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')));
        if (sep > 0) {
            const QString tail = text.mid(sep);
            for (qsizetype keep = sep - 1; keep >= 0; --keep) {
                const QString candidate = text.left(keep) + Ellipsis + tail;
                if (measure.Width(candidate) <= width || keep == 0) {
                    line.Text = candidate;
                    line.Underlined.clear();
                    if (measure.Width(candidate) <= width) return;
                    text = candidate;
                    break;
                }
            }
        }
    }
    if (format & DT_WORD_ELLIPSIS) {
        qsizetype end = text.size();
        while (end > 0) {
            end = text.lastIndexOf(QLatin1Char(' '), end - 1);
            if (end <= 0) break;
            const QString candidate = text.left(end) + Ellipsis;
            if (measure.Width(candidate) <= width) {
                line.Text = candidate;
                line.Underlined.erase(std::remove_if(line.Underlined.begin(), line.Underlined.end(),
                                                     [&](int u) { return u >= end; }),
                                      line.Underlined.end());
                return;
            }
        }
    }
    // At the end: characters go one by one until the rest and "..." fit.
    qsizetype keep = text.size();
    while (keep > 0 && measure.Width(text.left(keep) + Ellipsis) > width) --keep;
    line.Text = text.left(keep) + Ellipsis;
    line.Underlined.erase(
        std::remove_if(line.Underlined.begin(), line.Underlined.end(), [&](int u) { return u >= keep; }),
        line.Underlined.end());
}

void HLine(QPainter& p, int x1, int x2, int y, const QColor& c) {
    if (x2 > x1) p.fillRect(x1, y, x2 - x1, 1, c);
}
void VLine(QPainter& p, int x, int y1, int y2, const QColor& c) {
    if (y2 > y1) p.fillRect(x, y1, 1, y2 - y1, c);
}

// One ring of an edge on the sides flagged; rect moves inside it.
void Ring(QPainter& p, TRect& r, uint32_t flags, const QColor& topLeft, const QColor& bottomRight) {
    if (flags & BF_TOP) HLine(p, r.Left, r.Right - ((flags & BF_RIGHT) ? 1 : 0), r.Top, topLeft);
    if (flags & BF_LEFT) VLine(p, r.Left, r.Top, r.Bottom - ((flags & BF_BOTTOM) ? 1 : 0), topLeft);
    if (flags & BF_BOTTOM) HLine(p, r.Left, r.Right, r.Bottom - 1, bottomRight);
    if (flags & BF_RIGHT) VLine(p, r.Right - 1, r.Top, r.Bottom, bottomRight);
    if (flags & BF_LEFT) ++r.Left;
    if (flags & BF_TOP) ++r.Top;
    if (flags & BF_RIGHT) --r.Right;
    if (flags & BF_BOTTOM) --r.Bottom;
}

// The classic 7 x 7 check mark, row by row, bit 6 the leftmost pixel.
constexpr uint8_t CheckMarkRows[7] = {0x01, 0x03, 0x47, 0x6E, 0x7C, 0x38, 0x10};

void DrawCheckMark(QPainter& p, int x, int y, const QColor& c) {
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 7; ++col)
            if (CheckMarkRows[row] & (0x40 >> col)) p.fillRect(x + col, y + row, 1, 1, c);
}

// A filled triangle pointing in a direction (0 up, 1 down, 2 left, 3 right) centred in r.
void DrawArrow(QPainter& p, const TRect& r, int direction, const QColor& c) {
    const int size = std::max(2, std::min(r.Width(), r.Height()) / 3);
    const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
    for (int i = 0; i < size; ++i) {
        const int len = 2 * (size - i) - 1;
        switch (direction) {
        case 0:
            HLine(p, cx - (len / 2), cx - (len / 2) + len, cy + size / 2 - i, c);
            break;
        case 1:
            HLine(p, cx - (len / 2), cx - (len / 2) + len, cy - size / 2 + i, c);
            break;
        case 2:
            VLine(p, cx + size / 2 - i, cy - (len / 2), cy - (len / 2) + len, c);
            break;
        default:
            VLine(p, cx - size / 2 + i, cy - (len / 2), cy - (len / 2) + len, c);
            break;
        }
    }
}

} // namespace

int DrawText(TCanvas& canvas, const std::string& text, TRect& rect, uint32_t format, std::string* shown) {
    const QFont font = ToQFont(canvas.Font());
    const QFontMetrics metrics(font);
    const TextMeasure measure(metrics, format);
    const int width = rect.Width();
    const bool single = format & DT_SINGLELINE;

    // Paragraphs, then lines.
    std::vector<TextLine> lines;
    QString raw = ToQ(text);
    raw.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (single) {
        raw.remove(QLatin1Char('\r'));
        raw.replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    const QStringList paragraphs = single ? QStringList{raw} : raw.split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        TextLine resolved = ResolvePrefixes(paragraph, format);
        if ((format & DT_WORDBREAK) && !single) {
            for (TextLine& line : BreakWords(resolved, width, measure)) lines.push_back(line);
        } else
            lines.push_back(resolved);
    }
    if (lines.empty()) lines.push_back(TextLine{});
    if (format & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS | DT_WORD_ELLIPSIS))
        for (TextLine& line : lines) CutToFit(line, width, format, measure);

    const int lineHeight = metrics.height() + ((format & DT_EXTERNALLEADING) ? metrics.leading() : 0);
    const int total = lineHeight * static_cast<int>(lines.size());
    int widest = 0;
    for (const TextLine& line : lines) widest = std::max(widest, measure.Width(line.Text));

    if (shown) {
        QString joined;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i) joined += QLatin1Char('\n');
            joined += lines[i].Text;
        }
        *shown = FromQ(joined);
    }

    if (format & DT_CALCRECT) {
        rect.Right = rect.Left + widest;
        rect.Bottom = rect.Top + total;
        return total;
    }

    int y = rect.Top;
    if (single && (format & DT_VCENTER))
        y = rect.Top + (rect.Height() - lineHeight) / 2;
    else if (single && (format & DT_BOTTOM))
        y = rect.Bottom - lineHeight;

    const TRect bounds = rect;
    // Clipped to an empty or inverted rectangle (a cell of a zero-width column less its
    // margins) nothing shows; the painter would take such a clip as no clip at all.
    if (!(format & DT_NOCLIP) && (bounds.Right <= bounds.Left || bounds.Bottom <= bounds.Top)) return total;
    WithPainter(canvas, [&](QPainter& p) {
        if (!(format & DT_NOCLIP)) p.setClipRect(ToQRect(bounds), Qt::IntersectClip);
        const QColor textColor = ToQColor(canvas.Font().Color());
        int lineY = y;
        for (const TextLine& line : lines) {
            const int w = measure.Width(line.Text);
            int x = bounds.Left;
            if (format & DT_CENTER)
                x = bounds.Left + (bounds.Width() - w) / 2;
            else if (format & DT_RIGHT)
                x = bounds.Right - w;
            if (canvas.BrushStyle() == TBrushStyle::bsSolid)
                p.fillRect(x, lineY, w, lineHeight, CanvasBrush(canvas));
            p.setPen(textColor);
            int at = x;
            for (const QString& piece : TextMeasure::Pieces(line.Text)) {
                if (piece == QStringLiteral("\t")) {
                    if (measure.ExpandTabs())
                        at = x + ((at - x) / measure.TabWidth() + 1) * measure.TabWidth();
                    continue;
                }
                p.drawText(at, lineY + metrics.ascent(), piece);
                at += metrics.horizontalAdvance(piece);
            }
            for (int u : line.Underlined) {
                const int ux = x + measure.Width(line.Text.left(u));
                const int uw = metrics.horizontalAdvance(line.Text.mid(u, 1));
                p.fillRect(ux, lineY + metrics.ascent() + 1, uw, 1, textColor);
            }
            lineY += lineHeight;
        }
    });
    if (single && (format & (DT_VCENTER | DT_BOTTOM))) return y + lineHeight - rect.Top;
    return total;
}

bool DrawEdge(TCanvas& canvas, TRect& rect, uint32_t edge, uint32_t flags) {
    const uint32_t outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
    if (!outer && !inner && !(flags & BF_MIDDLE)) return false;
    TRect r = rect;
    WithPainter(canvas, [&](QPainter& p) {
        const QColor light = ToQColor(cl3DLight), highlight = ToQColor(clBtnHighlight),
                     shadow = ToQColor(clBtnShadow), dark = ToQColor(cl3DDkShadow),
                     face = ToQColor(clBtnFace);
        if (outer) {
            if (flags & BF_MONO)
                Ring(p, r, flags, ToQColor(clWindowFrame), ToQColor(clWindowFrame));
            else if (flags & BF_FLAT)
                Ring(p, r, flags, shadow, shadow);
            else if (outer & BDR_RAISEDOUTER)
                Ring(p, r, flags, light, dark);
            else
                Ring(p, r, flags, shadow, highlight);
        }
        if (inner) {
            if (flags & BF_MONO)
                Ring(p, r, flags, ToQColor(clWindow), ToQColor(clWindow));
            else if (flags & BF_FLAT)
                Ring(p, r, flags, face, face);
            else if (inner & BDR_RAISEDINNER)
                Ring(p, r, flags, highlight, shadow);
            else
                Ring(p, r, flags, dark, light);
        }
        if ((flags & BF_MIDDLE) && r.Width() > 0 && r.Height() > 0)
            p.fillRect(ToQRect(r), (flags & BF_MONO) ? ToQColor(clWindow) : face);
    });
    if (flags & BF_ADJUST) rect = r;
    return true;
}

bool DrawFrameControl(TCanvas& canvas, TRect& rect, uint32_t type, uint32_t state) {
    const bool inactive = state & DFCS_INACTIVE, pushed = state & DFCS_PUSHED, checked = state & DFCS_CHECKED;
    const uint32_t kind = state & 0xFF;
    const TRect r = rect;
    switch (type) {
    case DFC_BUTTON: {
        if (kind & DFCS_BUTTONPUSH) {
            TRect face = r;
            if (pushed && (state & DFCS_FLAT)) {
                canvas.SetBrushColor(clBtnShadow);
                canvas.FrameRect(face);
                face = TRect{r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1};
            } else
                DrawEdge(canvas, face, pushed || checked ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
            WithPainter(canvas, [&](QPainter& p) { p.fillRect(ToQRect(face), ToQColor(clBtnFace)); });
            if (state & DFCS_ADJUSTRECT) rect = face;
            return true;
        }
        const int size = 13;
        const int x = r.Left + (r.Width() - size) / 2, y = r.Top + (r.Height() - size) / 2;
        if (kind & DFCS_BUTTONRADIO) {
            WithPainter(canvas, [&](QPainter& p) {
                // Two rings of arcs, the upper left half dark, the lower right light.
                const QRect outerBox(x, y, size - 1, size - 1), innerBox(x + 1, y + 1, size - 3, size - 3);
                p.setBrush(ToQColor(inactive || pushed ? clBtnFace : clWindow));
                p.setPen(Qt::NoPen);
                p.drawEllipse(innerBox);
                p.setBrush(Qt::NoBrush);
                p.setPen(ToQColor(clBtnShadow));
                p.drawArc(outerBox, 45 * 16, 180 * 16);
                p.setPen(ToQColor(clBtnHighlight));
                p.drawArc(outerBox, 225 * 16, 180 * 16);
                p.setPen(ToQColor(cl3DDkShadow));
                p.drawArc(innerBox, 45 * 16, 180 * 16);
                p.setPen(ToQColor(cl3DLight));
                p.drawArc(innerBox, 225 * 16, 180 * 16);
                if (checked) {
                    const QColor dot = ToQColor(inactive ? clGrayText : clWindowText);
                    p.fillRect(x + 5, y + 4, 2, 4, dot);
                    p.fillRect(x + 4, y + 5, 4, 2, dot);
                }
            });
            return true;
        }
        // Check box (also 3-state).
        TRect box{x, y, x + size, y + size};
        DrawEdge(canvas, box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        const bool grayed = (kind & DFCS_BUTTON3STATE) && checked;
        WithPainter(canvas, [&](QPainter& p) {
            p.fillRect(ToQRect(box), ToQColor(inactive || pushed || grayed ? clBtnFace : clWindow));
            if (checked) {
                const QColor mark = ToQColor(grayed ? clBtnShadow : inactive ? clGrayText : clWindowText);
                DrawCheckMark(p, box.Left + 1, box.Top + 1, mark);
            }
        });
        return true;
    }
    case DFC_MENU:
        WithPainter(canvas, [&](QPainter& p) {
            const QColor c = ToQColor(inactive ? clGrayText : clMenuText);
            if (kind == DFCS_MENUCHECK)
                DrawCheckMark(p, r.Left + (r.Width() - 7) / 2, r.Top + (r.Height() - 7) / 2, c);
            else if (kind == DFCS_MENUBULLET) {
                const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
                p.fillRect(cx - 2, cy - 1, 4, 2, c);
                p.fillRect(cx - 1, cy - 2, 2, 4, c);
            } else
                DrawArrow(p, r, 3, c);
        });
        return true;
    case DFC_CAPTION:
    case DFC_SCROLL: {
        TRect face = r;
        if (!(state & DFCS_FLAT))
            DrawEdge(canvas, face, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
        WithPainter(canvas, [&](QPainter& p) {
            p.fillRect(ToQRect(face), ToQColor(clBtnFace));
            const QColor c = ToQColor(inactive ? clGrayText : clBtnText);
            TRect glyph = face;
            if (pushed) {
                ++glyph.Left;
                ++glyph.Top;
                ++glyph.Right;
                ++glyph.Bottom;
            }
            const int gw = std::max(4, glyph.Width() / 2), gh = std::max(4, glyph.Height() / 2);
            const int gx = glyph.Left + (glyph.Width() - gw) / 2, gy = glyph.Top + (glyph.Height() - gh) / 2;
            if (type == DFC_SCROLL) {
                if (kind == DFCS_SCROLLSIZEGRIP) {
                    for (int i = 0; i < 3; ++i) {
                        p.setPen(ToQColor(clBtnHighlight));
                        p.drawLine(r.Right - 12 + 4 * i, r.Bottom - 1, r.Right - 1, r.Bottom - 12 + 4 * i);
                        p.setPen(ToQColor(clBtnShadow));
                        p.drawLine(r.Right - 11 + 4 * i, r.Bottom - 1, r.Right - 1, r.Bottom - 11 + 4 * i);
                    }
                } else
                    DrawArrow(p, glyph, kind == DFCS_SCROLLCOMBOBOX ? 1 : static_cast<int>(kind), c);
                return;
            }
            switch (kind) {
            case DFCS_CAPTIONCLOSE:
                for (int i = 0; i < std::min(gw, gh); ++i) {
                    p.fillRect(gx + i, gy + i, 2, 1, c);
                    p.fillRect(gx + std::min(gw, gh) - 1 - i, gy + i, 2, 1, c);
                }
                break;
            case DFCS_CAPTIONMIN:
                p.fillRect(gx, gy + gh - 2, gw - 2, 2, c);
                break;
            case DFCS_CAPTIONMAX:
                p.fillRect(gx, gy, gw, 2, c);
                p.setPen(c);
                p.setBrush(Qt::NoBrush);
                p.drawRect(gx, gy, gw - 1, gh - 1);
                break;
            case DFCS_CAPTIONRESTORE:
                p.setPen(c);
                p.setBrush(Qt::NoBrush);
                p.drawRect(gx + 2, gy, gw - 3, gh - 3);
                p.fillRect(gx, gy + 2, gw - 2, gh - 2, ToQColor(clBtnFace));
                p.drawRect(gx, gy + 2, gw - 3, gh - 3);
                break;
            default:
                p.setPen(c);
                p.drawText(ToQRect(glyph), Qt::AlignCenter, QStringLiteral("?"));
                break;
            }
        });
        return true;
    }
    default:
        return false;
    }
}

} // namespace mv
