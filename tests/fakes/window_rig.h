#pragma once
// The real game window over the fakes: built the way start-up builds it,
// shown, given the focus and (unless told not to) with its first board fully
// revealed. Needs the window library (gallows_ui).

#include "fakes.h"
#include "game_window.h"
#include "gallows_game.h"
#include "qt_services.h"

#include <QStringList>

#include <memory>

namespace gallows::testing {

template <class W = frmGallows>
struct WindowRig {
    FakeCatalogue catalogue;
    FakeSettings settings;
    FakeCues cues;
    FakeMessages messages;
    FakeRandom random;
    FakeTicker ticker;
    QtPictureSource pictures;
    std::unique_ptr<GallowsGame> game;
    std::unique_ptr<W> window;

    WindowRig(const QString &pictureRoot, const QStringList &titles, bool reveal = true)
        : pictures(pictureRoot)
    {
        for (const QString &title : titles)
            catalogue.add(title);
        game = std::make_unique<GallowsGame>(
            Services{&catalogue, &settings, &cues, &messages, &random, &pictures, &ticker});
        game->Form_Load();
        window = std::make_unique<W>(*game, pictures);
        window->show();
        window->activateWindow();
        game->new_game();
        if (reveal)
            finishReveal();
    }
    void finishReveal()
    {
        for (int guard = 0; ticker.running && guard < 500; ++guard)
            game->tmrLoad_Timer();
    }
    template <class T = QWidget> T *get(const char *name) const
    {
        return qobject_cast<T *>(window->control(QLatin1String(name)));
    }
};

} // namespace gallows::testing
