// Level loader: commands, the lexer's odd cases, operands that fail to parse,
// names, the built-in level, a missing file and a fuzz run, all headless.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "tempdir.h"
#include "world/world.h"

namespace {

struct Loaded {
  std::unique_ptr<World> world;
  std::string log;  // every line the loader logged
};

class Level : public testing::Test {
 protected:
  // Loads text as a level without pictures and keeps its log.
  Loaded load(const std::string& text) {
    std::string file = dir.write("test.lvl", text);
    std::ostringstream log;
    Loaded r;
    r.world = std::make_unique<World>(nopictures);
    EXPECT_FALSE(r.world->loadfile(file.c_str(), &log));
    r.log = log.str();
    return r;
  }

  TempDir dir;
};

// Expected element: corners in storage order, flags, kind.
struct Want {
  int32_t x1, x2, y1, y2;
  bool triangle, ledge, slippery, nowalljump;
  int32_t kind;
};

void expectbox(const Box* b, const Want& w) {
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->x1, w.x1);
  EXPECT_EQ(b->x2, w.x2);
  EXPECT_EQ(b->y1, w.y1);
  EXPECT_EQ(b->y2, w.y2);
  EXPECT_EQ(b->triangle, w.triangle);
  EXPECT_EQ(b->ledge, w.ledge);
  EXPECT_EQ(b->slippery, w.slippery);
  EXPECT_EQ(b->nowalljump, w.nowalljump);
  EXPECT_EQ(b->kind, w.kind);
}

// A plain solid rectangle as buildGround makes it.
Want ground(int32_t x1, int32_t x2, int32_t y1, int32_t y2) {
  return {x1, x2, y1, y2, false, false, false, false, 0};
}

Want item(int32_t x1, int32_t x2, int32_t y1, int32_t y2, int32_t kind) {
  return {x1, x2, y1, y2, false, false, false, false, kind};
}

}  // namespace

TEST_F(Level, EveryCommandBuildsAndLogs) {
  Loaded r = load(
      "buildGround(0,400,0,200);\n"
      "buildTriangle(350, 250, 300, 400);\n"
      "buildSlipperyTriangle(1,2,3,4);\n"
      "buildLedge(5,6,7,8);\n"
      "buildNonWallJumpGround(9,10,11,12);\n"
      "buildSpikes(-5,5,-6,6);\n"
      "setStartPosition(100,200);\n"
      "setEndPosition(1000,50);\n"
      "setShiftCount(3);\n"
      "addShiftPickup(300,300);\n"
      "addViewMasterPickup(400,400);\n"
      "addCheckPoint(10,20);\n"
      "setImageShift(-7,8);\n"
      "setNextLevel(\"level2.lvl\");\n"
      "setBackground(\"bg\");\n"
      "setForeground(\"fg\");\n");
  EXPECT_EQ(r.log,
            "box: 0,400,0,200\n"
            "triangle: 350,250,300,400\n"
            "triangle: 1,2,3,4\n"
            "box: 5,6,7,8\n"
            "box: 9,10,11,12\n"
            "box: -5,5,-6,6\n"
            "start location: 100,200\n"
            "end location: 1000,50\n"
            "next level: level2.lvl\n"
            "background: bg\n"
            "foreground: fg\n");
  World& w = *r.world;
  ASSERT_EQ(w.boxes.size(), 5u);
  expectbox(w.boxes[0], ground(0, 400, 0, 200));
  expectbox(w.boxes[1], {350, 250, 300, 400, true, false, false, false, 0});
  expectbox(w.boxes[2], {1, 2, 3, 4, true, false, true, false, 0});
  expectbox(w.boxes[3], {5, 6, 7, 8, false, true, false, false, 0});
  expectbox(w.boxes[4], {9, 10, 11, 12, false, false, false, true, 0});
  ASSERT_EQ(w.items.size(), 6u);
  expectbox(w.items[0], item(-5, 5, -6, 6, kind_spikes));
  expectbox(w.items[1], item(1000, 1040, 50, 90, kind_end));
  expectbox(w.items[2], item(284, 316, 284, 316, kind_shift));
  expectbox(w.items[3], item(384, 416, 384, 416, kind_viewmaster));
  expectbox(w.items[4], item(10, 74, 20, 84, kind_checkpoint));
  expectbox(w.items[5], item(-7, 57, 8, 72, kind_checkpoint));
  EXPECT_EQ(w.x, 100);
  EXPECT_EQ(w.y, 200);
  EXPECT_EQ(w.checkx, 100);
  EXPECT_EQ(w.checky, 200);
  EXPECT_EQ(w.shiftcount, 3);
  EXPECT_EQ(w.imageshiftx, -7);
  EXPECT_EQ(w.imageshifty, 8);
  EXPECT_STREQ(w.nextlevel, "level2.lvl");
  EXPECT_STREQ(w.backgroundname, "bg");
  EXPECT_STREQ(w.foregroundname, "fg");
  // Headless: names only, no layer was made.
  EXPECT_EQ(w.layers[0], nullptr);
  EXPECT_EQ(w.layers[1], nullptr);
  EXPECT_TRUE(w.unknownwords.empty());
}

TEST_F(Level, EmptyFileKeepsDefaults) {
  Loaded r = load("");
  World& w = *r.world;
  EXPECT_EQ(r.log, "");
  EXPECT_TRUE(w.boxes.empty());
  EXPECT_TRUE(w.items.empty());
  EXPECT_EQ(w.x, 500);
  EXPECT_EQ(w.y, 250);
  EXPECT_EQ(w.checkx, 500);
  EXPECT_EQ(w.checky, 250);
  EXPECT_EQ(w.shiftcount, 0);
  EXPECT_EQ(w.imageshiftx, 0);
  EXPECT_EQ(w.imageshifty, 0);
  EXPECT_STREQ(w.nextlevel, "");
  EXPECT_STREQ(w.backgroundname, "");
  EXPECT_STREQ(w.foregroundname, "");
  EXPECT_EQ(w.layers[0], nullptr);
  EXPECT_EQ(w.layers[1], nullptr);
  EXPECT_EQ(w.fade, -32);
  EXPECT_EQ(w.facing, 1);
  EXPECT_EQ(w.frame, 0);
  EXPECT_EQ(w.animlength, 0);
  EXPECT_EQ(w.frametimer, 1);
}

TEST_F(Level, RepeatedCommands) {
  Loaded r = load(
      "buildGround(1,2,3,4);\n"
      "setStartPosition(1,2); setStartPosition(-3,-4);\n"
      "setShiftCount(5); setShiftCount(2);\n"
      "setImageShift(1,1); setImageShift(2,3);\n"
      "setNextLevel(\"a.lvl\"); setNextLevel(\"b.lvl\");\n"
      "setBackground(\"one\"); setBackground(\"two\");\n"
      "setForeground(\"three\"); setForeground(\"four\");\n");
  EXPECT_EQ(r.log,
            "box: 1,2,3,4\n"
            "start location: 1,2\n"
            "start location: -3,-4\n"
            "next level: a.lvl\n"
            "next level: b.lvl\n"
            "background: one\n"
            "background: two\n"
            "foreground: three\n"
            "foreground: four\n");
  World& w = *r.world;
  EXPECT_EQ(w.x, -3);
  EXPECT_EQ(w.y, -4);
  EXPECT_EQ(w.checkx, -3);
  EXPECT_EQ(w.checky, -4);
  EXPECT_EQ(w.shiftcount, 2);
  EXPECT_EQ(w.imageshiftx, 2);
  EXPECT_EQ(w.imageshifty, 3);
  // Both picture offsets left a checkpoint behind.
  ASSERT_EQ(w.items.size(), 2u);
  expectbox(w.items[0], item(1, 65, 1, 65, kind_checkpoint));
  expectbox(w.items[1], item(2, 66, 3, 67, kind_checkpoint));
  EXPECT_STREQ(w.nextlevel, "b.lvl");
  EXPECT_STREQ(w.backgroundname, "one");
  EXPECT_STREQ(w.foregroundname, "three");
}

TEST_F(Level, KeywordSplitOrSpread) {
  Loaded r = load(
      "build Ground (1,2,3,4);\n"
      "build_Gro-und\n(5,6,7,8)\n"
      "buildGround(\n9\n,\n10 , 11,12\n)\n;"
      "buildGround(-1,-2,-3,-4);buildLedge(+5,6,7,8);\n"
      "\tb u i l d L e d g e\r\n(0,0,0,0)");
  EXPECT_EQ(r.log,
            "box: 1,2,3,4\n"
            "box: 5,6,7,8\n"
            "box: 9,10,11,12\n"
            "box: -1,-2,-3,-4\n"
            "box: 5,6,7,8\n"
            "box: 0,0,0,0\n");
  ASSERT_EQ(r.world->boxes.size(), 6u);
  expectbox(r.world->boxes[4], {5, 6, 7, 8, false, true, false, false, 0});
  expectbox(r.world->boxes[5], {0, 0, 0, 0, false, true, false, false, 0});
}

TEST_F(Level, TextBetweenCommands) {
  // Letters glue to the next keyword unless ';' or '/' comes between.
  Loaded r = load(
      "hello buildGround(1,2,3,4);\n"
      "hello; buildGround(5,6,7,8);\n"
      "// my level\nbuildGround(9,9,9,9);\n"
      "/* note (x) */buildGround(10,11,12,13);\n"
      "foo(buildLedge(1,1,1,1);\n"
      "buildground(2,2,2,2);\n"
      "2buildGround(3,3,3,3);\n"
      "(\n"
      "buildGround");
  EXPECT_EQ(r.log,
            "unknown command: hellobuildGround\n"
            "box: 5,6,7,8\n"
            "unknown command: mylevelbuildGround\n"
            "unknown command: note\n"
            "box: 10,11,12,13\n"
            "unknown command: foo\n"
            "box: 1,1,1,1\n"
            "unknown command: buildground\n"
            "unknown command: 2buildGround\n"
            "unknown command: \n");
  World& w = *r.world;
  ASSERT_EQ(w.boxes.size(), 3u);
  expectbox(w.boxes[0], ground(5, 6, 7, 8));
  expectbox(w.boxes[1], ground(10, 11, 12, 13));
  EXPECT_TRUE(w.boxes[2]->ledge);
  std::vector<std::string> words = {"hellobuildGround", "mylevelbuildGround", "note", "foo",
                                    "buildground", "2buildGround", ""};
  EXPECT_EQ(w.unknownwords, words);
}

TEST_F(Level, LongWordsKeepTheirFirst31Characters) {
  Loaded r = load(
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ(\n"
      "xxxxxxxxxxxxxxxxxxxxxxxxxbuildGround(1,2,3,4);\n"
      "buildGround(5,6,7,8);");
  EXPECT_EQ(r.log,
            "unknown command: abcdefghijklmnopqrstuvwxyzABCDE\n"
            "unknown command: xxxxxxxxxxxxxxxxxxxxxxxxxbuildG\n"
            "box: 5,6,7,8\n");
  ASSERT_EQ(r.world->boxes.size(), 1u);
}

TEST_F(Level, NamesAndTheirQuotes) {
  struct Case {
    std::string text;
    std::string name;
  };
  const Case cases[] = {
      {"setNextLevel(\"level2.lvl\");", "level2.lvl"},
      // The skipped character is the blank; the run starts with the quote.
      {"setNextLevel( \"level2.lvl\");", ""},
      // Blanks after the skipped quote are skipped.
      {"setNextLevel(\"  lvl.lvl\" );", "lvl.lvl"},
      // Without quotes the first character is still skipped.
      {"setNextLevel(Xlevel3 ) ;", "level3"},
      {"setNextLevel(\"a\"b\"c\")", "a"},
      {"setNextLevel(", ""},
      {"setNextLevel(\"", ""},
      {"setNextLevel(\"   ", ""},
      {"setNextLevel(\"ni\xc3\xa9.lvl\");", "ni\xc3\xa9.lvl"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Loaded r = load(c.text);
    EXPECT_EQ(r.log, "next level: " + c.name + "\n");
    EXPECT_EQ(std::string(r.world->nextlevel), c.name);
  }
}

TEST_F(Level, NameRunSwallowsAGluedCommand) {
  Loaded r = load(
      "setNextLevel(\"a.lvl\");buildGround(1,2,3,4);\n"
      "buildLedge(5,6,7,8);");
  EXPECT_EQ(r.log, "next level: a.lvl\nbox: 5,6,7,8\n");
  ASSERT_EQ(r.world->boxes.size(), 1u);
  EXPECT_TRUE(r.world->boxes[0]->ledge);
}

TEST_F(Level, OverlongNamesAreCutAndTheirRunConsumed) {
  std::string digits;
  for (int i = 0; i < 20; i++) digits += "0123456789";  // 200 characters
  // Had the rest of the run been left to the lexer, its digits would glue to
  // nothing harmful but the glued buildGround after ';' would run.
  Loaded r = load("setNextLevel(\"" + digits + "\");buildGround(1,2,3,4);\n"
                  "setBackground(\"" + digits + "\");buildGround(1,2,3,4);\n"
                  "setForeground(\"" + digits.substr(0, 130) + "\");\n"
                  "buildLedge(5,6,7,8);");
  std::string first31 = digits.substr(0, 31), first127 = digits.substr(0, 127);
  EXPECT_EQ(r.log, "next level: " + first31 + "\n"
                   "background: " + first127 + "\n"
                   "foreground: " + first127 + "\n"
                   "box: 5,6,7,8\n");
  World& w = *r.world;
  EXPECT_EQ(std::string(w.nextlevel), first31);
  EXPECT_EQ(std::string(w.backgroundname), first127);
  EXPECT_EQ(std::string(w.foregroundname), first127);
  ASSERT_EQ(w.boxes.size(), 1u);
  EXPECT_TRUE(w.boxes[0]->ledge);
}

TEST_F(Level, FirstPictureWinsEvenWhenEmpty) {
  Loaded r = load("setBackground( \"bg\"); setBackground(\"bg2\");");
  EXPECT_EQ(r.log, "background: \nbackground: bg2\n");
  EXPECT_STREQ(r.world->backgroundname, "");
}

TEST_F(Level, OperandsThatFailToParse) {
  // Unread operands are 0, and reading stops at the first failure, leaving
  // the rest to the lexer as ordinary text.
  struct Case {
    std::string text;
    std::string log;
  };
  const Case cases[] = {
      // A missing separator: the '2' is taken as the separator.
      {"buildGround(1 2,3,4);", "box: 1,0,0,0\n"},
      // Too few numbers; the ')' is the separator, the ';' then resets.
      {"buildGround(1,2);buildLedge(5,6,7,8);", "box: 1,2,0,0\nbox: 5,6,7,8\n"},
      // Any single non-blank character separates, even ';'.
      {"buildGround(1 ; 2 x 3\n,\n4)", "box: 1,2,3,4\n"},
      {"buildGround(1,,2,3);", "box: 1,0,0,0\n"},
      {"setStartPosition(a,b);", "start location: 0,0\n"},
      // End of file inside a command.
      {"buildGround(1,2", "box: 1,2,0,0\n"},
      {"buildGround(", "box: 0,0,0,0\n"},
      {"setStartPosition(7", "start location: 7,0\n"},
      {"setEndPosition(-", "end location: 0,0\n"},
      // Numbers beyond 32 bits are clamped.
      {"buildGround(99999999999999999999,-99999999999999999999,2147483647,-2147483648)",
       "box: 2147483647,-2147483648,2147483647,-2147483648\n"},
      {"buildGround(2147483648,-2147483649,0,0)", "box: 2147483647,-2147483648,0,0\n"},
      // A byte above 0x7f is no digit (0xb2 is a superscript two in Latin-1).
      {"buildGround(1,\xb2,3,4);", "box: 1,0,0,0\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Loaded r = load(c.text);
    EXPECT_EQ(r.log, c.log);
  }
}

TEST_F(Level, FailedSignIsConsumed) {
  // "-x": the sign is read, the x is left and collected into the next word.
  Loaded r = load("setShiftCount(-x);buildGround(1,2,3,4);setShiftCount(4x)");
  EXPECT_EQ(r.log, "box: 1,2,3,4\n");
  EXPECT_EQ(r.world->shiftcount, 4);
  // With nothing readable the count is the unparsed value 0.
  Loaded s = load("setShiftCount(9); setShiftCount(x);");
  EXPECT_EQ(s.world->shiftcount, 0);
}

TEST_F(Level, ShiftCountStaysDrawable) {
  // A count of a billion would draw a billion foreground copies a frame.
  Loaded r = load("setShiftCount(2147483647);");
  EXPECT_EQ(r.world->shiftcount, 1000);
  Loaded s = load("setShiftCount(-99999);");
  EXPECT_EQ(s.world->shiftcount, -1000);
  Loaded t = load("setShiftCount(1000);");
  EXPECT_EQ(t.world->shiftcount, 1000);
}

TEST_F(Level, ItemsNearTheIntegerLimitsClampTheirFarCorner) {
  Loaded r = load(
      "setEndPosition(2147483647,2147483600);\n"
      "addShiftPickup(-2147483648,2147483647);\n"
      "addCheckPoint(2147483647,-2147483648);");
  World& w = *r.world;
  ASSERT_EQ(w.items.size(), 3u);
  expectbox(w.items[0], item(2147483647, 2147483647, 2147483600, 2147483640, kind_end));
  expectbox(w.items[1],
            item(-2147483647 - 1, -2147483648 + 16, 2147483647 - 16, 2147483647, kind_shift));
  expectbox(w.items[2], item(2147483647, 2147483647, -2147483647 - 1, -2147483648 + 64,
                             kind_checkpoint));
}

TEST_F(Level, BytesOutsideAsciiAreNeitherLettersNorDigits) {
  using namespace std::string_literals;  // keeps the NUL byte
  Loaded r = load("build\xc3\xa9Ground(1,2,3,4);\n"
                  "\xff\xfe buildLedge(5,6,7,8);\n"
                  "build\0Ground(9,9,9,9);\n"
                  "\x80\x81("s);
  EXPECT_EQ(r.log, "box: 1,2,3,4\nbox: 5,6,7,8\nbox: 9,9,9,9\nunknown command: \n");
  EXPECT_EQ(r.world->boxes.size(), 3u);
}

TEST_F(Level, MissingFileEndsTheProgram) {
  std::string missing = dir.path + "/missing.lvl";
  EXPECT_EXIT(World(missing.c_str(), false), testing::ExitedWithCode(1),
              "^Error loading map: " + missing + "\n$");
}

// Without the game's constructor a level that cannot be had is an error to
// report: a missing file, and a folder, which opens but reads nothing. The
// world keeps the defaults and nothing is logged.
TEST_F(Level, FileThatCannotBeReadIsAnError) {
  const std::string missing = dir.path + "/missing.lvl";
  for (const std::string& path : {missing, dir.path}) {
    SCOPED_TRACE(path);
    World w(nopictures);
    std::ostringstream log;
    const LoadError err = w.loadfile(path.c_str(), &log);
    EXPECT_EQ(err.kind, path == missing ? LoadError::cannotopen : LoadError::cannotread);
    EXPECT_EQ(err.message, path + ": cannot be opened");
    EXPECT_EQ(log.str(), "");
    EXPECT_TRUE(w.boxes.empty());
    EXPECT_EQ(w.x, 500);
  }
  // The game plays a folder as an empty level, as it always has.
  World folder(dir.path.c_str(), false);
  EXPECT_TRUE(folder.boxes.empty());
  EXPECT_TRUE(folder.items.empty());
  EXPECT_EQ(folder.y, 250);
}

namespace {

// A maker that makes nothing but notes on the load's log what it was asked
// for, so the order of pictures and log lines shows; it counts what it frees.
std::ostringstream* makerlog;
char madeones[8];
int made, freed;
GraphicsLayer* notelayer(const char* name, bool usealpha, bool usepng) {
  *makerlog << "layer " << name << " " << usealpha << usepng << "\n";
  return reinterpret_cast<GraphicsLayer*>(&madeones[made++]);
}
Texture* notesheet(const char* colourpath, const char* alphapath, int w, int h) {
  *makerlog << "sheet " << colourpath << " " << alphapath << " " << w << "x" << h << "\n";
  return reinterpret_cast<Texture*>(&madeones[made++]);
}
void countlayer(GraphicsLayer* layer) { freed += layer != nullptr; }
void countsheet(Texture* sheet) { freed += sheet != nullptr; }

}  // namespace

// The sheet and pickups come first (load_common), then each level picture the
// moment its command is read, after the command's own line; the first of each
// kind wins. The world frees what its maker made, through the maker.
TEST_F(Level, PicturesAreMadeAsTheirCommandsAreRead) {
  const std::string file = dir.write("pictures.lvl",
                                     "setBackground(\"bg\");\nbuildGround(1,2,3,4);\n"
                                     "setForeground(\"fg\");\nsetBackground(\"again\");\n");
  const PictureMaker noting = {notelayer, notesheet, countlayer, countsheet};
  std::ostringstream log;
  makerlog = &log;
  made = freed = 0;
  {
    World w(&noting);
    ASSERT_FALSE(w.loadfile(file.c_str(), &log));
    EXPECT_EQ(log.str(),
              "sheet orvik_spritesheet.bmp orvik_spritesheet_alpha.bmp 512x512\n"
              "layer viewmaster 10\nlayer viewmaster_card 10\n"
              "background: bg\nlayer bg 01\nbox: 1,2,3,4\n"
              "foreground: fg\nlayer fg 11\nbackground: again\n");
    EXPECT_EQ(w.layers[0], reinterpret_cast<GraphicsLayer*>(&madeones[3]));
    EXPECT_EQ(w.layers[1], reinterpret_cast<GraphicsLayer*>(&madeones[4]));
    EXPECT_EQ(freed, 0);
  }
  EXPECT_EQ(made, 5);
  EXPECT_EQ(freed, 5);
}

TEST(BuiltInLevel, NineBoxesAndTwoPictureNames) {
  testing::internal::CaptureStdout();
  World w(false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_EQ(w.boxes.size(), 9u);
  expectbox(w.boxes[0], ground(0, 400, 0, 200));
  expectbox(w.boxes[1], ground(400, 600, -200, 100));
  expectbox(w.boxes[2], ground(0, 50, 200, 480));
  expectbox(w.boxes[3], ground(200, 250, 300, 480));
  expectbox(w.boxes[4], {350, 250, 300, 400, true, false, false, false, 0});
  expectbox(w.boxes[5], {350, 450, 300, 400, true, false, true, false, 0});
  expectbox(w.boxes[6], {550, 600, 100, 150, false, true, false, false, 0});
  expectbox(w.boxes[7], ground(840, 900, -200, 100));
  expectbox(w.boxes[8], ground(600, 840, -200, -92));
  EXPECT_TRUE(w.items.empty());
  EXPECT_STREQ(w.backgroundname, "level_1.bg");
  EXPECT_STREQ(w.foregroundname, "level_1");
  EXPECT_EQ(w.layers[0], nullptr);
  EXPECT_EQ(w.layers[1], nullptr);
  EXPECT_STREQ(w.nextlevel, "");
  EXPECT_EQ(w.x, 500);
  EXPECT_EQ(w.y, 250);
}

TEST_F(Level, FuzzedTextLoadsWithinBounds) {
  const std::string base =
      "buildGround(0,400,0,200);\nbuildTriangle(350,250,300,400);\n"
      "setStartPosition(100,200);\nsetEndPosition(1000,50);\nsetShiftCount(3);\n"
      "addShiftPickup(300,300);\nsetImageShift(-7,8);\nsetNextLevel(\"level2.lvl\");\n"
      "setBackground(\"bg\");\nsetForeground(\"fg\");\nbuildSpikes(1,2,3,4);\n";
  const std::string alphabet = "()\",;/- \n+0123456789abuildGroundsetNextLevel\xff\x80";
  std::mt19937 random(20261208);
  auto pick = [&](size_t n) { return size_t(random() % n); };

  for (int round = 0; round < 3000; round++) {
    std::string text;
    if (round % 4 == 0) {
      // Raw bytes.
      for (size_t n = pick(300); n > 0; n--) text += char(random());
    } else {
      // The sound level, mutated: changed, inserted and removed characters,
      // a pasted slice, then maybe a cut end.
      text = base;
      for (size_t n = 1 + pick(12); n > 0; n--) {
        size_t at = pick(text.size() + 1);
        switch (pick(4)) {
          case 0:
            if (at < text.size()) text[at] = alphabet[pick(alphabet.size())];
            break;
          case 1: text.insert(at, 1, alphabet[pick(alphabet.size())]); break;
          case 2: if (at < text.size()) text.erase(at, 1); break;
          default: text.insert(at, text.substr(pick(text.size() + 1), pick(200))); break;
        }
      }
      if (pick(3) == 0) text.resize(pick(text.size() + 1));
    }
    std::string file = dir.write("fuzz.lvl", text);
    World w(nopictures);
    ASSERT_FALSE(w.loadfile(file.c_str(), nullptr)) << text;

    // Every element comes from one '(' and no name outgrows its room.
    size_t parens = 0;
    for (char c : text) parens += c == '(';
    ASSERT_LE(w.boxes.size() + w.items.size(), parens) << text;
    ASSERT_LT(strnlen(w.nextlevel, sizeof w.nextlevel), sizeof w.nextlevel) << text;
    ASSERT_LE(std::strlen(w.backgroundname), 127u) << text;
    ASSERT_LE(std::strlen(w.foregroundname), 127u) << text;
    for (const std::string& word : w.unknownwords) ASSERT_LE(word.size(), 31u) << text;
  }
}
