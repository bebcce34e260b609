// Played: a new game through the four introduction pages into the first
// level, walking both ways, jumping, Escape to the title and Resume, and the
// three ways out (F12, the window's close button). What is heard is checked
// against the game's own decoding of its music and sounds.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "e2e.h"
#include "world/world.h"

namespace {

using namespace e2e;

const Rgb clearcolour = glcolour(0.25, 0, 0);
// Where the scene's moves are measured: a band around the hero, its feet
// and the ground below them.
const Rect band{0, 250, 1024, 520};
// The first level's start and picture offset, as tutorial1.lvl sets them.
constexpr int startx = 128, starty = 96, imageshiftx = -512, imageshifty = -256;

class FirstLevel : public ::testing::Test {
 protected:
  TestDisplay display;
  Game game;
  Shot background = picture(gamedata() + "/tutorial1.bg.png");
  Shot foreground = picture(gamedata() + "/tutorial1.png");
  Shot foregroundalpha = picture(gamedata() + "/tutorial1.a.png");

  // The level's pictures as drawn with the hero at (hx, hy), the hero left
  // out: the camera is the hero's position less (488, 354).
  Shot level(int hx, int hy) {
    Shot s = screenof(clearcolour);
    int x = imageshiftx - (hx - 488), y = imageshifty - (hy - 354);
    overlay(s, background, nullptr, x, y);
    overlay(s, foreground, &foregroundalpha, x, y);
    return s;
  }
  // The screen shows the level with the hero at (hx, hy): every pixel but
  // the hero's own.
  bool showslevel(const Shot& shot, int hx, int hy) {
    Shot want = level(hx, hy);
    return mismatches(shot, want, 4) == mismatches(shot, want, 4, herobox) &&
           !same(shot, want);
  }

  // New game on the title screen and a click through each introduction page,
  // each checked against its picture.
  void newgame() {
    ASSERT_TRUE(game.waitstarted()) << game.logs();
    ASSERT_TRUE(pointer(700, 138));
    for (int page = 1; page <= 4; page++) {
      ASSERT_TRUE(click());
      Shot want = picture(gamedata() + "/orvik_intro0" + std::to_string(page) + ".png");
      ASSERT_TRUE(waitfor([&] { return mismatches(display.shot(), want, 4) == 0; }))
          << "introduction page " << page;
    }
    ASSERT_TRUE(click());
  }

  // Holds a key until the scene has moved at least `by` pixels (sign
  // included) from `from`, then lets go and returns the steady screen.
  Shot walk(const std::string& arrow, const Shot& from, int by) {
    EXPECT_TRUE(keydown(arrow));
    bool moved = waitfor([&] {
      double err;
      int d = displacement(from, display.shot(), true, 300, band, herobox, &err);
      return by > 0 ? d >= by : d <= by;
    });
    EXPECT_TRUE(keyup(arrow));
    EXPECT_TRUE(moved) << arrow << " did not move the scene";
    return atrest();
  }

  // Stopped: two steady screens in a row alike, so that a loaded machine
  // pausing the game for a moment is not taken for a hero at rest.
  Shot atrest() {
    Shot a = display.steady(), b;
    waitfor([&] {
      b = display.steady();
      bool stopped = !b.empty() && same(a, b);
      a = b;
      return stopped;
    });
    return b;
  }
};

// The hero's own pixels: those of its box that differ from the level drawn
// behind it.
std::vector<bool> heromask(const Shot& shot, const Shot& behind) {
  std::vector<bool> m;
  for (int y = herobox.y0; y < herobox.y1; y++)
    for (int x = herobox.x0; x < herobox.x1; x++) m.push_back(!near(shot.at(x, y), behind.at(x, y), 24));
  return m;
}

// Which way a drawn hero faces: its mask is laid over every cell of the
// sprite sheet's alpha picture (8 by 8 cells of 60 by 60, drawn 48 wide), as
// drawn and mirrored; true when the best fit of all is a mirrored cell.
bool facesleft(const std::vector<bool>& mask) {
  static const Shot alpha = picture(gamedata() + "/orvik_spritesheet_alpha.bmp");
  const int w = herobox.x1 - herobox.x0, h = herobox.y1 - herobox.y0;
  long best[2] = {1L << 30, 1L << 30};
  for (int f = 0; f < 64; f++)
    for (int mirrored = 0; mirrored < 2; mirrored++) {
      long n = 0;
      for (int j = 0; j < h; j++)
        for (int i = 0; i < w; i++) {
          int col = mirrored ? w - 1 - i : i;
          int u = 60 * (f % 8) + (2 * col + 1) * 60 / (2 * w), v = 60 * (f / 8) + j;
          n += mask[size_t(j) * w + i] != (alpha.at(u, v).b >= 128);
        }
      best[mirrored] = std::min(best[mirrored], n);
    }
  return best[1] < best[0];
}

TEST_F(FirstLevel, IntroWalkJumpAndF12WithMusicAndFootsteps) {
  ASSERT_TRUE(display.ok());
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  game.start();
  ASSERT_TRUE(game.waitstarted()) << game.logs();
  // A second of the title's music, heard before the game starts.
  ASSERT_TRUE(waitfor([&] { return slurp(game.audiopath).size() >= 44100 * 4; }));
  ASSERT_NO_FATAL_FAILURE(newgame());

  // The first level loads with its log lines in file order.
  std::ostringstream log;
  ASSERT_FALSE(World(nopictures).loadfile((gamedata() + "/tutorial1.lvl").c_str(), &log));
  std::vector<std::string> want = lines(log.str());
  ASSERT_FALSE(want.empty());
  ASSERT_TRUE(game.waitout(want.back())) << game.logs();
  size_t k = 0;
  for (const std::string& line : lines(game.out()))
    if (k < want.size() && line == want[k]) k++;
  EXPECT_EQ(k, want.size()) << "level log lines out of order\n" << game.logs();

  // Drawn: once faded in, the pictures stand where the camera on the hero at
  // its start puts them.
  Shot start;
  ASSERT_TRUE(waitfor([&] { return showslevel(start = display.steady(), startx, starty); }))
      << "the first level at its start";
  keepshot(start, "level");

  // Right: the scene moves left under the hero, which stays in the middle.
  Shot right = walk("Right", start, 60);
  double err;
  int moved = displacement(start, right, true, 300, band, herobox, &err);
  EXPECT_GE(moved, 60);
  EXPECT_TRUE(showslevel(right, startx + moved, starty)) << "after walking right by " << moved;

  // Left: back the other way, the sprite mirrored.
  Shot left = walk("Left", right, -40);
  int back = displacement(right, left, true, 300, band, herobox, &err);
  EXPECT_LE(back, -40);
  EXPECT_TRUE(showslevel(left, startx + moved + back, starty)) << "after walking left";
  EXPECT_FALSE(facesleft(heromask(right, level(startx + moved, starty))))
      << "the hero that walked right is drawn mirrored";
  EXPECT_TRUE(facesleft(heromask(left, level(startx + moved + back, starty))))
      << "the hero that walked left is not drawn mirrored";

  // Up held for a few frames: the hero rises, so the scene sinks, and it
  // lands where it jumped.
  ASSERT_TRUE(keydown("Up"));
  bool rose = waitfor([&] {
    return displacement(left, display.shot(), false, 200, band, herobox, &err) <= -15;
  });
  ASSERT_TRUE(keyup("Up"));
  EXPECT_TRUE(rose) << "no jump";
  // Landed: at rest on the floor again, within a few pixels of where it rose.
  Shot landed;
  const int jumpx = startx + moved + back;
  int landx = -1;
  EXPECT_TRUE(waitfor([&] {
    landed = display.steady();
    for (int x = jumpx - 8; x <= jumpx + 8 && landx < 0; x++)
      if (showslevel(landed, x, starty)) landx = x;
    return landx >= 0;
  })) << "did not land on the floor near where it jumped";

  // A tap shorter than a frame never reaches a step: walking on, the scene
  // only ever slides sideways under the hero, as a jump would not let it.
  // xdotool sends the press and the release apart, so a loaded machine may
  // let a frame's input poll fall between them, and then the jump is right;
  // a game that latched presses would jump on every tap, so one clean tap in
  // three tries (walking right, left, right) is what the rule asks.
  bool clean = false;
  for (int attempt = 0; attempt < 3 && !clean; attempt++) {
    const char* arrow = attempt % 2 ? "Left" : "Right";
    const int sign = attempt % 2 ? -1 : 1;
    int far = 0;
    double worst = 0;
    ASSERT_TRUE(key("Up"));
    ASSERT_TRUE(keydown(arrow));
    waitfor([&] {
      far = sign * displacement(landed, display.shot(), true, 300, band, herobox, &err);
      worst = std::max(worst, err);
      return far >= 40;
    });
    ASSERT_TRUE(keyup(arrow));
    EXPECT_GE(far, 40) << arrow << " after a tap of the up arrow";
    clean = worst < 2.0;
    landed = atrest();  // on the floor again after a jump, before the next try
  }
  EXPECT_TRUE(clean) << "every tap of the up arrow made the hero jump";

  // F12 in play ends the game cleanly.
  int status = -1;
  ASSERT_TRUE(key("F12"));
  ASSERT_TRUE(game.waitexit(&status)) << game.logs();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << game.logs();

  // Heard: the title's music from its first sound, then the song from its
  // start, and on top of it nothing but footsteps, the same on both sides.
  Samples cap = capture(game.audiopath);
  size_t frames = cap.size() / 2;
  ASSERT_GT(frames, 44100u * 2);
  Samples menu = decodemusic(gamedata() + "/menu.adx", frames);
  Samples song = decodemusic(gamedata() + "/song.adx", frames);
  ASSERT_FALSE(menu.empty());
  ASSERT_FALSE(song.empty());
  long menustart = findmusic(cap, menu, 0, 44100 / 2);
  ASSERT_GE(menustart, 0) << "the title's music is not in the capture";
  long songstart = findmusic(cap, song, size_t(menustart), 22050);
  ASSERT_GT(songstart, menustart) << "the song is not in the capture after the title's music";

  std::vector<Samples> steps;
  for (int n = 1; n <= 7; n++)
    steps.push_back(wavesamples(gamedata() + "/audio/Foot_Concrete_0" + std::to_string(n) + ".wav"));
  int heard = 0;
  long sides = 0;
  std::vector<int16_t> effects(frames - size_t(songstart));
  for (size_t i = 0; i < effects.size(); i++) {
    size_t f = size_t(songstart) + i;
    int16_t l = int16_t(cap[2 * f] - song[2 * i]), r = int16_t(cap[2 * f + 1] - song[2 * i + 1]);
    sides += l != r;
    effects[i] = l;
  }
  EXPECT_EQ(sides, 0) << "sound effects differ between left and right";
  // A footstep is heard where the effects hold one of the seven sounds'
  // first 2000 samples exactly (later steps may overlap it).
  for (size_t i = 0; i < effects.size(); i++) {
    if (effects[i] == 0) continue;
    for (const Samples& step : steps) {
      size_t z = 0;
      while (z < step.size() && step[z] == 0) z++;
      if (i < z || step.size() < 2000) continue;
      size_t at = i - z, j = 0;
      while (j < 2000 && at + j < effects.size() && effects[at + j] == step[j]) j++;
      if (j == 2000) {
        heard++;
        i = at + step.size() / 2;  // the rest of it may carry the next step
        break;
      }
    }
  }
  EXPECT_GE(heard, 2) << "footsteps heard while walking";
}

TEST_F(FirstLevel, EscapeResumeSameSpotAndCloseWindow) {
  ASSERT_TRUE(display.ok());
  ASSERT_TRUE(game.hasdata()) << "game data missing: run make";
  game.start();
  ASSERT_NO_FATAL_FAILURE(newgame());
  Shot start;
  ASSERT_TRUE(waitfor([&] { return showslevel(start = display.steady(), startx, starty); }));
  Shot here = walk("Right", start, 60);
  double err;
  int moved = displacement(start, here, true, 300, band, herobox, &err);
  ASSERT_TRUE(showslevel(here, startx + moved, starty));

  // Escape: the title screen, whose picture shows around the buttons.
  ASSERT_TRUE(key("Escape"));
  Shot title = picture(gamedata() + "/orvik_menu.png");
  const Rect titletext{0, 0, 590, 300};
  EXPECT_TRUE(waitfor([&] { return mismatches(display.shot(), title, 4, titletext) == 0; }))
      << "Escape did not show the title";

  // Resume: the same world, the hero where it was.
  ASSERT_TRUE(pointer(700, 230));
  ASSERT_TRUE(click());
  Shot back;
  EXPECT_TRUE(waitfor([&] { return showslevel(back = display.steady(), startx + moved, starty); }))
      << "Resume did not continue at the same spot";

  // Closing the window ends the game as quitting does.
  ASSERT_GE(display.closewindows(), 1);
  int status = -1;
  ASSERT_TRUE(game.waitexit(&status)) << game.logs();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << game.logs();
  // One level was loaded: the resumed world is the old one.
  EXPECT_EQ(count(game.out(), "start location: "), 1) << game.logs();
}

}  // namespace
