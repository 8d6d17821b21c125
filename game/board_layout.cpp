#include "game/board_layout.h"
#include "game/window_state.h"

namespace gallows {

namespace {

constexpr double kTemplateLeft = -190;
constexpr double kFirstTop = 360;
constexpr double kRowStep = 300;
constexpr double kLetterStep = 300;
constexpr double kSpaceStep = 250;
constexpr double kRowLeft = kTemplateLeft + kLetterStep; // 110
constexpr int kMaxRows = 3;

bool isSpace(const QString &c) { return c == QLatin1String(" "); }

bool inside(const CellPlace &p)
{
    return p.left >= 0 && p.top >= 0 && p.left + kCellSize <= kClientWidth
        && p.top + kCellSize <= kClientHeight;
}

// The last space at or before 1-based position `pos`, 0 when there is none.
int lastSpaceAtOrBefore(const QStringList &letters, int pos)
{
    for (int i = pos; i >= 1; --i)
        if (isSpace(letters[i - 1]))
            return i;
    return 0;
}

void classicLayout(BoardLayout &b)
{
    const int n = int(b.letters.size());
    if (n >= 26) {
        b.hasLine2 = true;
        b.line2Start = lastSpaceAtOrBefore(b.letters, 26) + 1;
    }
    if (n >= 52) {
        b.hasLine3 = true;
        b.line3Start = lastSpaceAtOrBefore(b.letters, 52) + 1;
    }
    b.places.assign(size_t(n), CellPlace{});
    // A new cell starts as a copy of the template, so cell 1's place is the
    // template's until cell 1 itself has been placed.
    CellPlace first{kTemplateLeft, kFirstTop};
    CellPlace prev = first;
    int rows = 1;
    for (int i = 1; i <= n; ++i) {
        CellPlace p;
        if (b.hasLine2 && i == b.line2Start) {
            p = {first.left, first.top + kRowStep};
            rows = std::max(rows, 2);
        } else if (b.hasLine3 && i == b.line3Start) {
            p = {first.left, first.top + 2 * kRowStep};
            rows = 3;
        } else if (isSpace(b.letters[i - 1])) {
            p = {prev.left + kSpaceStep, prev.top};
        } else {
            p = {prev.left + kLetterStep, prev.top};
        }
        if (i == 1)
            first = p;
        b.places[size_t(i - 1)] = p;
        prev = p;
    }
    b.rows = rows;
}

// Rows filled greedily, broken at the last space that still fits, or inside
// a word that is longer than a whole row. A space that ends a row is an
// invisible gap; it is kept at the row's right edge.
void wrappedLayout(BoardLayout &b)
{
    const int n = int(b.letters.size());
    b.places.assign(size_t(n), CellPlace{});
    b.hasLine2 = b.hasLine3 = false;
    b.line2Start = b.line3Start = 0;
    const double maxLeft = kClientWidth - kCellSize;
    int start = 1;
    int row = 0;
    while (start <= n) {
        // How far the row reaches before a cell would cross the right edge.
        double left = kRowLeft;
        int end = start;
        for (int j = start + 1; j <= n; ++j) {
            const double next = left + (isSpace(b.letters[j - 1]) ? kSpaceStep : kLetterStep);
            if (next > maxLeft)
                break;
            left = next;
            end = j;
        }
        int last = end;
        if (end < n) {
            int space = 0;
            for (int j = std::min(end + 1, n); j > start; --j)
                if (isSpace(b.letters[j - 1])) {
                    space = j;
                    break;
                }
            if (space)
                last = space;
        }
        const double top = kFirstTop + row * kRowStep;
        double x = kRowLeft;
        for (int j = start; j <= last; ++j) {
            if (j > start)
                x += isSpace(b.letters[j - 1]) ? kSpaceStep : kLetterStep;
            b.places[size_t(j - 1)] = {std::min(x, maxLeft), top};
        }
        ++row;
        start = last + 1;
        if (start <= n) {
            if (row == 1) {
                b.hasLine2 = true;
                b.line2Start = start;
            } else if (row == 2) {
                b.hasLine3 = true;
                b.line3Start = start;
            }
        }
    }
    b.rows = std::max(row, 1);
}

} // namespace

QString playableTitle(const QString &title)
{
    QString t = title;
    const qsizetype colon = t.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0)
        t.truncate(colon);
    return t.toUpper();
}

QStringList splitCharacters(const QString &text)
{
    QStringList out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.append(text.mid(i, 2));
            ++i;
        } else {
            out.append(QString(text[i]));
        }
    }
    return out;
}

bool shownFromStart(const QString &c)
{
    static const QStringList shown = {
        QStringLiteral(" "), QStringLiteral("'"), QStringLiteral("?"), QStringLiteral("!"),
        QStringLiteral("."), QStringLiteral(","), QStringLiteral("/"), QStringLiteral("\\"),
        QStringLiteral("&"), QStringLiteral("-"), QStringLiteral(":"), QStringLiteral(";"),
        QStringLiteral("$"), QString(QChar(0x00A3)), QStringLiteral("+")};
    return shown.contains(c);
}

BoardLayout layoutBoard(const QStringList &letters)
{
    BoardLayout b;
    b.letters = letters;
    classicLayout(b);
    bool allInside = true;
    for (const CellPlace &p : b.places)
        allInside = allInside && inside(p);
    if (!allInside)
        wrappedLayout(b);
    b.fits = b.rows <= kMaxRows;
    for (const CellPlace &p : b.places)
        b.fits = b.fits && inside(p);
    return b;
}

bool titleFitsBoard(const QString &title, QString *why)
{
    const QString playable = playableTitle(title);
    if (playable.isEmpty()) {
        if (why)
            *why = QStringLiteral("nothing to play before the last colon");
        return false;
    }
    const BoardLayout b = layoutBoard(splitCharacters(playable));
    if (!b.fits) {
        if (why)
            *why = QStringLiteral("the playable title \"%1\" (%2 characters) needs more than three rows")
                       .arg(playable)
                       .arg(b.letters.size());
        return false;
    }
    return true;
}

} // namespace gallows
