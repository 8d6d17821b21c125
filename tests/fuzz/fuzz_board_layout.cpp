// Any title, however broken, turns into a board without crashing, and the
// board obeys the window: one place per character, and when the title is
// playable every cell inside the client area on at most three rows, with the
// classic rows kept whenever they fit.
//
// The first input byte picks how the rest is read: as UTF-8 (invalid bytes
// become replacement characters) or as raw UTF-16, which also reaches lone
// surrogates that no UTF-8 decoder produces.

#include "board_layout.h"
#include "fuzz_check.h"
#include "window_state.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

using namespace gallows;

namespace {

bool isSpace(const QString &c) { return c == QLatin1String(" "); }

// The classic rows worked out on their own: breaks just after the last space
// at or before characters 26 and 52; a letter steps 300 twips, a space 250;
// a new row starts under the first cell, which itself follows the template
// at -190.
std::vector<CellPlace> classicPlaces(const QStringList &letters)
{
    const int n = int(letters.size());
    auto breakAfterSpace = [&](int pos) {
        for (int i = pos; i >= 1; --i)
            if (isSpace(letters[i - 1]))
                return i + 1;
        return 1;
    };
    const int row2 = n >= 26 ? breakAfterSpace(26) : -1;
    const int row3 = n >= 52 ? breakAfterSpace(52) : -1;
    std::vector<CellPlace> out;
    CellPlace first{-190, 360};
    CellPlace prev = first;
    for (int i = 1; i <= n; ++i) {
        CellPlace p;
        if (i == row2)
            p = {first.left, first.top + 300};
        else if (i == row3)
            p = {first.left, first.top + 600};
        else
            p = {prev.left + (isSpace(letters[i - 1]) ? 250 : 300), prev.top};
        if (i == 1)
            first = p;
        out.push_back(p);
        prev = p;
    }
    return out;
}

bool inside(const CellPlace &p)
{
    return p.left >= 0 && p.top >= 0 && p.left + kCellSize <= kClientWidth
        && p.top + kCellSize <= kClientHeight;
}

QString decode(const uint8_t *data, size_t size)
{
    if (size == 0)
        return QString();
    const auto *rest = reinterpret_cast<const char *>(data + 1);
    const size_t length = size - 1;
    if (data[0] & 1) {
        std::vector<char16_t> units(length / 2);
        for (size_t i = 0; i < units.size(); ++i)
            units[i] = char16_t(uint8_t(rest[2 * i]) | (uint8_t(rest[2 * i + 1]) << 8));
        return QString::fromUtf16(units.data(), qsizetype(units.size()));
    }
    return QString::fromUtf8(rest, qsizetype(length));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString title = decode(data, size);
    const QString playable = playableTitle(title);
    const QStringList letters = splitCharacters(playable);
    FUZZ_CHECK(letters.join(QString()) == playable);
    for (const QString &c : letters)
        FUZZ_CHECK(c.size() == 1 || (c.size() == 2 && c[0].isHighSurrogate() && c[1].isLowSurrogate()));

    const BoardLayout board = layoutBoard(letters);
    FUZZ_CHECK(board.letters == letters);
    FUZZ_CHECK(board.places.size() == size_t(letters.size()));
    FUZZ_CHECK(board.rows >= 1);
    FUZZ_CHECK(board.hasLine2 == (board.line2Start > 0));
    FUZZ_CHECK(board.hasLine3 == (board.line3Start > 0));
    FUZZ_CHECK(!board.hasLine3 || board.hasLine2);

    // The rows the board claims are the rows its cells are on.
    if (!letters.isEmpty()) {
        std::set<double> tops;
        for (const CellPlace &p : board.places)
            tops.insert(p.top);
        FUZZ_CHECK(int(tops.size()) == board.rows);
    }

    if (board.fits) {
        FUZZ_CHECK(board.rows <= 3);
        for (const CellPlace &p : board.places)
            FUZZ_CHECK(inside(p));
        // Visible cells never overlap; a space is an invisible gap.
        for (qsizetype i = 1; i < letters.size(); ++i) {
            if (isSpace(letters[i]))
                continue;
            for (qsizetype j = i - 1; j >= 0 && j >= i - 3; --j) {
                if (isSpace(letters[j]))
                    continue;
                const CellPlace &a = board.places[size_t(i)];
                const CellPlace &b = board.places[size_t(j)];
                const bool apart = a.top != b.top || a.left - b.left >= kCellSize
                    || b.left - a.left >= kCellSize;
                FUZZ_CHECK(apart);
            }
        }
    }

    // The classic rows stay whenever all of their cells are in the window.
    const std::vector<CellPlace> classic = classicPlaces(letters);
    bool classicInside = true;
    for (const CellPlace &p : classic)
        classicInside = classicInside && inside(p);
    if (classicInside) {
        FUZZ_CHECK(board.fits);
        for (size_t i = 0; i < classic.size(); ++i)
            FUZZ_CHECK(board.places[i].left == classic[i].left && board.places[i].top == classic[i].top);
    }

    QString why;
    const bool playableOnBoard = titleFitsBoard(title, &why);
    FUZZ_CHECK(playableOnBoard == (!playable.isEmpty() && board.fits));
    FUZZ_CHECK(playableOnBoard == why.isEmpty());
    return 0;
}
