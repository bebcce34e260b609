// Level editing in Tiled: levels go to Tiled maps and back through the
// extension in tools/tiled (run headless by scripts/tiled.sh), and the worlds
// the game's loader builds from both files are compared field by field. The
// actions (the checker on saving, Solve level, Watch route, Test-play level)
// run in Tiled itself, with its window offscreen, driven through Tiled's own
// scripting by tests/tiled_driver.js.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tempdir.h"
#include "kit/levelcheck.h"
#include "world/world.h"

namespace {

const std::string source = TWINFOLD_SOURCE_DIR;
const std::string leveldir = source + "/data/levels/";

std::string readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

int exitstatus(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1; }

// Tiled runs headless here; the launcher gives it a settings folder of its own.
class Tiled : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v tiled >/dev/null 2>&1") != 0) GTEST_SKIP() << "tiled is not installed";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("TMPDIR", dir.path.c_str(), 1);
    // Pictures only where a test asks for them: decoding them is most of the time.
    setenv("TWINFOLD_PICTURES", "", 1);
  }

  // Runs Tiled with these arguments; its standard error is kept in `errors`.
  // Tiled is killed after two minutes, should a dialog wait for an answer.
  int tiled(const std::string& args) {
    std::string log = dir / "tiled.log";
    std::remove(log.c_str());
    // Appending: the extension writes its reasons through a file of its own.
    std::string cmd = "timeout -k 5 120 '" + source + "/scripts/tiled.sh' '" + TWINFOLD_BINARY_DIR + "' " + args +
                      " >>'" + log + "' 2>>'" + log + "'";
    int status = exitstatus(std::system(cmd.c_str()));
    errors = readfile(log);
    return status;
  }

  // Converts from -> to; the format is the target's (tmx or lvl).
  bool convert(const std::string& format, const std::string& from, const std::string& to) {
    EXPECT_EQ(tiled("--export-map " + format + " '" + from + "' '" + to + "'"), 0) << errors;
    EXPECT_TRUE(exists(to)) << from << " -> " << to << ": " << errors;
    return exists(to);
  }

  // Level -> map -> level; the two levels must load to the same world.
  void roundtrip(const std::string& level, const std::string& name);

  TempDir dir;
  std::string errors;
};

World* load(const std::string& path) {
  World* w = new World(nopictures);
  EXPECT_FALSE(w->loadfile(path.c_str(), nullptr)) << path;
  return w;
}

void expectsamebox(const Box& a, const Box& b, bool item, const std::string& where) {
  EXPECT_EQ(a.x1, b.x1) << where;
  EXPECT_EQ(a.x2, b.x2) << where;
  EXPECT_EQ(a.y1, b.y1) << where;
  EXPECT_EQ(a.y2, b.y2) << where;
  EXPECT_EQ(a.triangle, b.triangle) << where;
  EXPECT_EQ(a.ledge, b.ledge) << where;
  EXPECT_EQ(a.slippery, b.slippery) << where;
  EXPECT_EQ(a.nowalljump, b.nowalljump) << where;
  if (item) {
    EXPECT_EQ(a.kind, b.kind) << where;
  }
}

// Whether the level has a command of this kind: a picture command asks for
// its picture even when its name reads as empty.
bool has(const World& w, const std::string& word) {
  for (const LevelCommand& c : w.commands) {
    if (c.word == word) return true;
  }
  return false;
}

// Everything a level file sets, compared between two loaded worlds.
void expectsameworld(const World& a, const World& b, const std::string& name) {
  ASSERT_EQ(a.boxes.size(), b.boxes.size()) << name;
  for (size_t i = 0; i < a.boxes.size(); i++) {
    expectsamebox(*a.boxes[i], *b.boxes[i], false, name + " box " + std::to_string(i));
  }
  ASSERT_EQ(a.items.size(), b.items.size()) << name;
  for (size_t i = 0; i < a.items.size(); i++) {
    expectsamebox(*a.items[i], *b.items[i], true, name + " item " + std::to_string(i));
  }
  EXPECT_EQ(a.x, b.x) << name;
  EXPECT_EQ(a.y, b.y) << name;
  EXPECT_EQ(a.checkx, b.checkx) << name;
  EXPECT_EQ(a.checky, b.checky) << name;
  EXPECT_EQ(a.shiftcount, b.shiftcount) << name;
  EXPECT_EQ(a.imageshiftx, b.imageshiftx) << name;
  EXPECT_EQ(a.imageshifty, b.imageshifty) << name;
  EXPECT_STREQ(a.nextlevel, b.nextlevel) << name;
  EXPECT_STREQ(a.backgroundname, b.backgroundname) << name;
  EXPECT_STREQ(a.foregroundname, b.foregroundname) << name;
  EXPECT_EQ(has(a, "setBackground"), has(b, "setBackground")) << name;
  EXPECT_EQ(has(a, "setForeground"), has(b, "setForeground")) << name;
  EXPECT_EQ(a.unknownwords, b.unknownwords) << name;
}

void Tiled::roundtrip(const std::string& level, const std::string& name) {
  std::string map = dir / (name + ".tmx"), back = dir / (name + ".back.lvl");
  World* a = load(level);
  if (convert("tmx", level, map) && convert("lvl", map, back)) {
    World* b = load(back);
    expectsameworld(*a, *b, name);
    delete b;
  }
  delete a;
}

// The text of one <object .../> element of a map, or "" if it is not there.
std::string objectwith(const std::string& map, const std::string& attributes) {
  size_t at = map.find(attributes);
  if (at == std::string::npos) return "";
  size_t start = map.rfind("<object ", at), end = map.find("/>", at);
  return map.substr(start, end + 2 - start);
}

void replace(std::string& text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
}

// The map of tutorial1.lvl with extra objects at the end of its elements.
std::string withobjects(const std::string& map, const std::string& objects) {
  std::string edited = map;
  size_t at = edited.find(" </objectgroup>");
  return at == std::string::npos ? "" : edited.insert(at, objects);
}

// Height of a PNG picture, from its header (big-endian, bytes 20 to 23).
int pngheight(const std::string& path) {
  std::string h = readfile(path);
  if (h.size() < 24) return -1;
  return (int((unsigned char)h[20]) << 24) | (int((unsigned char)h[21]) << 16) |
         (int((unsigned char)h[22]) << 8) | int((unsigned char)h[23]);
}

}  // namespace

// A broken extension fails quietly inside Tiled; this is where it shows.
TEST_F(Tiled, ExtensionRegistersTheLevelFormat) {
  EXPECT_EQ(tiled("--export-formats"), 0);
  EXPECT_NE(errors.find("\n lvl\n"), std::string::npos) << errors;
}

TEST_F(Tiled, EveryShippedLevelComesBackTheSame) {
  std::set<std::string> levels;
  for (const auto& entry : std::filesystem::directory_iterator(leveldir)) {
    if (entry.path().extension() == ".lvl") levels.insert(entry.path().string());
  }
  std::vector<LevelCheck> chain = checkchain(leveldir + "tutorial1.lvl");
  ASSERT_GE(chain.size(), 2u);
  for (const LevelCheck& c : chain) levels.insert(c.path);
  for (const std::string& level : levels) {
    roundtrip(level, std::filesystem::path(level).stem().string());
  }
}

// Glued words, comments, blanks and underscores in keywords, reversed
// corners, repeated settings, a name glued to the next command, a bare
// parenthesis, an overlong word and two picture offsets.
TEST_F(Tiled, LexerOdditiesComeBackTheSame) {
  std::string level = dir.write("odd.lvl",
      "/* odd level */ build Ground (0, 100, 0, 50);\n"
      "stray words buildLedge(10, 20, 30, 40);\n"
      "buildSpikes(300, 200, 96, 50);\n"
      "buildGround(500,400,300,200); buildLedge(0,64,80,72);\n"
      "setImageShift(-5,-7); setImageShift(10, 20);\n"
      "addCheckPoint(10,20);\n"
      "setBackground( \"x\"); setBackground(\"y\");\n"
      "setForeground(\"fg\")setNextLevel(\"n.lvl\");\n"
      "build_Slippery-Triangle(0, 50, 0, 30);buildTriangle(-10 , -60 ,\n 5 , -25);\n"
      "(\n"
      "addShiftPickup(100,100);addViewMasterPickup(200, 200);\n"
      "setShiftCount(3);\n"
      "setStartPosition(10, 20);setStartPosition(30,40);\n"
      "abcdefghijabcdefghijabcdefghijabcdefghij();\n"
      "setNextLevel(\"next.lvl\");\n");
  World* w = load(level);
  // The oddities took effect: worked out from the loader's rules by hand.
  EXPECT_EQ(w->boxes.size(), 5u);
  EXPECT_EQ(w->items.size(), 6u);
  EXPECT_EQ(w->unknownwords.size(), 3u);
  EXPECT_EQ(w->imageshiftx, 10);
  delete w;
  roundtrip(level, "odd");
}

// A blank before the quote, or nothing between the quotes, makes a name the
// game reads as empty: the level still asks for that picture, and the game
// stops on it. The saved level must ask for it again.
TEST_F(Tiled, PicturesAskedByEmptyNamesStayAsked) {
  const char* levels[][2] = {
      {"blankfg", "setForeground( \"level0\");\nsetBackground(\"level0.bg\");\nbuildGround(0,64,0,64);\n"},
      {"emptybg", "setBackground(\"\");\nsetForeground(\"fg\");\nsetBackground(\"later\");\nbuildGround(0,64,0,64);\n"},
      {"both", "setBackground( \"x\");\nsetForeground(\"\");\nbuildGround(0,64,0,64);\n"},
  };
  for (const auto& l : levels) {
    std::string name = l[0], level = dir.write(name + ".lvl", l[1]);
    roundtrip(level, name);
    // The checker points at each empty name, in the saved level as in the first.
    std::string back = dir / (name + ".back.lvl");
    for (const std::string& path : {level, back}) {
      std::string problems;
      for (const std::string& p : checklevel(path).problems) problems += p + "\n";
      bool emptybg = name != "blankfg", emptyfg = name != "emptybg";
      EXPECT_EQ(problems.find("background name is empty") != std::string::npos, emptybg) << path << "\n" << problems;
      EXPECT_EQ(problems.find("foreground name is empty") != std::string::npos, emptyfg) << path << "\n" << problems;
    }
  }
  EXPECT_NE(readfile(dir / "emptybg.back.lvl").find("setBackground(\"\");"), std::string::npos)
      << readfile(dir / "emptybg.back.lvl");
}

TEST_F(Tiled, EditedMapSavesExactlyTheEdit) {
  std::string map = dir / "t1.tmx", saved = dir / "edited.lvl";
  ASSERT_TRUE(convert("tmx", leveldir + "tutorial1.lvl", map));
  std::string text = readfile(map);
  // tutorial1 is 768 high: the crate buildGround(400, 464, 96, 136) has its
  // top left at map (400, 768 - 136); the crate (640, 720, 96, 156) at (640, 612).
  std::string crate = objectwith(text, "type=\"ground\" x=\"400\" y=\"632\" width=\"64\" height=\"40\"");
  std::string tall = objectwith(text, "type=\"ground\" x=\"640\" y=\"612\" width=\"80\" height=\"60\"");
  ASSERT_FALSE(crate.empty()) << text;
  ASSERT_FALSE(tall.empty()) << text;
  std::string moved = crate;
  replace(moved, "x=\"400\"", "x=\"432\"");
  replace(text, crate, moved);
  replace(text, tall, "");
  // A plank from (700, 292) to (800, 300) in level space.
  text = withobjects(text, "  <object id=\"900\" name=\"Plank (new)\" type=\"ledge\" x=\"700\" y=\"468\" "
                           "width=\"100\" height=\"8\"/>\n");
  dir.write("edited.tmx", text);
  ASSERT_TRUE(convert("lvl", dir / "edited.tmx", saved));

  World* before = load(leveldir + "tutorial1.lvl");
  World* after = load(saved);
  ASSERT_EQ(after->boxes.size(), before->boxes.size());
  for (size_t i = 0, j = 0; i < before->boxes.size(); i++) {
    Box b = *before->boxes[i];
    if (b.x1 == 640 && b.x2 == 720) continue;  // deleted
    if (b.x1 == 400 && b.x2 == 464) b.x1 = 432, b.x2 = 496;
    expectsamebox(b, *after->boxes[j], false, "box " + std::to_string(j));
    j++;
  }
  expectsamebox(Box(700, 292, 800, 300, false, true, false), *after->boxes.back(), false, "added");
  std::vector<Box*> edited = after->boxes;  // all else is unchanged
  after->boxes = before->boxes;
  expectsameworld(*before, *after, "edited");
  after->boxes = edited;
  delete before;
  delete after;
  // The name became a comment the lexer skips: no parenthesis in it.
  EXPECT_NE(readfile(saved).find("/* Plank [new] */\nbuildLedge(700, 800, 292, 300);"), std::string::npos)
      << readfile(saved);
}

TEST_F(Tiled, InexpressibleObjectsAreRefused) {
  std::string map = dir / "t1.tmx";
  ASSERT_TRUE(convert("tmx", leveldir + "tutorial1.lvl", map));
  std::string text = readfile(map);
  const char* bad[][2] = {
      {"Round", "<object id=\"900\" name=\"Round\" type=\"ground\" x=\"10\" y=\"10\" width=\"20\" height=\"20\"><ellipse/></object>"},
      {"Tilted", "<object id=\"900\" name=\"Tilted\" type=\"ground\" x=\"10\" y=\"10\" width=\"20\" height=\"20\" rotation=\"30\"/>"},
      {"Bent", "<object id=\"900\" name=\"Bent\" type=\"slope\" x=\"10\" y=\"10\"><polygon points=\"0,0 5,-10 30,0\"/></object>"},
      {"Four", "<object id=\"900\" name=\"Four\" type=\"slope\" x=\"10\" y=\"10\"><polygon points=\"0,0 0,-10 30,-10 30,0\"/></object>"},
      {"Small", "<object id=\"900\" name=\"Small\" type=\"checkpoint\" x=\"10\" y=\"10\" width=\"20\" height=\"20\"/>"},
      {"Bush", "<object id=\"900\" name=\"Bush\" x=\"10\" y=\"10\" width=\"20\" height=\"20\"/>"},
  };
  for (const auto& b : bad) {
    std::string name = b[0], tmx = dir.write(name + ".tmx", withobjects(text, std::string("  ") + b[1] + "\n"));
    std::string out = dir / (name + ".lvl");
    EXPECT_NE(tiled("--export-map lvl '" + tmx + "' '" + out + "'"), 0) << name;
    EXPECT_FALSE(exists(out)) << name << " was written";
    EXPECT_NE(errors.find("'" + name + "'"), std::string::npos) << name << ": " << errors;
  }
}

TEST_F(Tiled, PicturesLieAtThePictureOffset) {
  std::string picture = std::string(TWINFOLD_BINARY_DIR) + "/game/tutorial1.bg.png";
  if (!exists(picture)) GTEST_SKIP() << "no game pictures; make game first";
  setenv("TWINFOLD_PICTURES", (std::string(TWINFOLD_BINARY_DIR) + "/game").c_str(), 1);
  std::string map = dir / "t1.tmx";
  ASSERT_TRUE(convert("tmx", leveldir + "tutorial1.lvl", map));
  // The picture's lower left corner at level (-512, -256); the map is 768 high.
  std::string layer = "name=\"background\" offsetx=\"-512\" offsety=\"" +
                      std::to_string(768 + 256 - pngheight(picture)) + "\"";
  EXPECT_NE(readfile(map).find(layer), std::string::npos) << layer << "\n" << readfile(map);

  // A missing picture leaves an empty layer, and the level still opens.
  std::string level = dir.write("nopic.lvl", "setForeground(\"nosuch\");\nbuildGround(0,64,0,64);\n");
  ASSERT_TRUE(convert("tmx", level, dir / "nopic.tmx"));
  std::string text = readfile(dir / "nopic.tmx");
  EXPECT_EQ(text.find("nosuch.png"), std::string::npos) << text;
  // The default start (500, 250) makes the map 256 high.
  EXPECT_NE(text.find("type=\"ground\" x=\"0\" y=\"192\" width=\"64\" height=\"64\""), std::string::npos)
      << text;
}

TEST(LevelTool, ExitStatuses) {
  std::string tool = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-level";
  auto run = [&](const std::string& args) {
    return exitstatus(std::system((tool + " " + args + " >/dev/null 2>&1").c_str()));
  };
  TempDir dir;
  EXPECT_EQ(run("--help"), 0);
  EXPECT_EQ(run(""), 2);
  EXPECT_EQ(run("yaml " + leveldir + "tutorial1.lvl"), 2);
  EXPECT_EQ(run("json '" + dir.file("missing.lvl") + "'"), 1);
  EXPECT_EQ(run("json '" + dir.path + "'"), 1);
  EXPECT_EQ(run("json " + leveldir + "tutorial1.lvl"), 0);
}

namespace {

std::vector<std::string> linesof(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool startswith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

struct Point {
  long x, y;
};

// The points of a driver line "object TYPE NAME x,y x,y ...", in level pixels.
std::vector<Point> pointsof(const std::string& line) {
  std::vector<Point> points;
  std::regex point("(-?[0-9.]+),(-?[0-9.]+)");
  for (std::sregex_iterator m(line.begin(), line.end(), point), end; m != end; ++m) {
    points.push_back({std::lround(std::stod((*m)[1])), std::lround(std::stod((*m)[2]))});
  }
  return points;
}

// The Tiled tests' fixture, with a program standing in for twinfold-play: it
// keeps the level it was given, and plays a route it was given through
// twinfold-replay, so a test sees what the game would have been asked to do.
class TiledActions : public Tiled {
 protected:
  void SetUp() override {
    Tiled::SetUp();
    if (IsSkipped()) return;
    std::string stub = dir.write("play.sh",
        "#!/bin/sh\n"
        "cp \"$1\" '" + dir / "played.lvl" + "'\n"
        "[ \"$2\" = --replay ] || exit 0\n"
        "cp \"$3\" '" + dir / "watched.replay" + "'\n"
        "exec '" TWINFOLD_BINARY_DIR "/twinfold-replay' \"$1\" \"$3\" >'" + dir / "watched.txt" + "'\n");
    std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
    setenv("TWINFOLD_PLAY_TOOL", stub.c_str(), 1);
    setenv("TWINFOLD_TILED_SCRIPTS", (source + "/tests/tiled_driver.js").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("TWINFOLD_PLAY_TOOL");
    unsetenv("TWINFOLD_TILED_SCRIPTS");
    unsetenv("TWINFOLD_DRIVE");
    unsetenv("TWINFOLD_DRIVE_OUT");
  }

  // Runs Tiled through the steps of tiled_driver.js; the lines it wrote.
  std::vector<std::string> drive(const std::string& steps) {
    setenv("TWINFOLD_DRIVE", dir.write("plan", steps).c_str(), 1);
    setenv("TWINFOLD_DRIVE_OUT", (dir / "driven").c_str(), 1);
    std::remove((dir / "driven").c_str());
    EXPECT_EQ(tiled(""), 0) << errors;
    std::vector<std::string> lines = linesof(readfile(dir / "driven"));
    std::smatch m;
    for (const std::string& l : lines) {
      EXPECT_FALSE(startswith(l, "failed")) << l;
      // The programs run in the background: the editor is never held long.
      if (std::regex_match(l, m, std::regex("trigger .* took ([0-9]+)"))) {
        EXPECT_LT(std::stoi(m[1]), 1000) << l;
      }
    }
    return lines;
  }
};

// The issue whose text holds what, and the objects its activation selected.
std::vector<std::string> issue(const std::vector<std::string>& lines, const std::string& severity,
                               const std::string& what) {
  for (size_t i = 0; i < lines.size(); i++) {
    if (!startswith(lines[i], "issue " + severity + " ") || lines[i].find(what) == std::string::npos) continue;
    std::vector<std::string> selected;
    while (++i < lines.size() && startswith(lines[i], "selected ")) selected.push_back(lines[i].substr(9));
    return selected;
  }
  ADD_FAILURE() << "no " << severity << " issue with '" << what << "'";
  return {"none"};
}

}  // namespace

// Saving runs the checker on the saved file; each report names its line, and
// activating it selects the object whose command is there.
TEST_F(TiledActions, SavingChecksAndIssuesSelectTheObjectAtFault) {
  std::string level = dir.write("broken.lvl",
      "buildGround(0, 1000, 0, 96);\n"
      "buildGround(300, 400, 96, 200);\n"
      "setStartPosition(320, 100);\n"  // inside the block above
      "buildSpikes(600, 700, 96, 110);\n"
      "addCheckPoint(650, 96);\n"       // on the spikes
      "buildSpikes(900, 850, 96, 110);\n");  // corners reversed; and no end anywhere
  std::vector<std::string> lines = drive("open " + level + "\ntrigger Save\nwait\nissues\n");
  // The saved file puts the start first, so the checker finds it on line 1.
  EXPECT_EQ(issue(lines, "error", level + ":1:1: the start 320,100 puts the hero inside"),
            std::vector<std::string>{"start -"});
  EXPECT_EQ(issue(lines, "error", "checkpoint touches the spikes"), std::vector<std::string>{"checkpoint -"});
  EXPECT_EQ(issue(lines, "warning", "spikes with their corners reversed"), std::vector<std::string>{"spikes -"});
  EXPECT_EQ(issue(lines, "error", level + ": no end position"), std::vector<std::string>{});
}

// Solving draws the route the game's own stepping takes; saving leaves the
// route out; watching hands the route and the map to the game, and
// test-playing the map.
TEST_F(TiledActions, SolveDrawsARouteThatSavingLeavesOutAndTheGameFinishes) {
  std::string level = dir.write("tutorial9.lvl", readfile(leveldir + "tutorial9.lvl"));
  std::vector<std::string> lines = drive("open " + level +
                                         "\ntrigger TwinfoldSolve\nwait\nissues\nroute\n"
                                         "trigger TwinfoldWatch\nwait\ntrigger Save\nwait\n");
  std::string par;
  for (const std::string& l : lines) {
    std::smatch m;
    if (startswith(l, "issue warning tutorial9.lvl: solved") && std::regex_search(l, m, std::regex("par ([0-9]+) steps")))
      par = m[1];
  }
  ASSERT_FALSE(par.empty()) << readfile(dir / "driven");

  // The game was handed the map as it stands and the route, which finishes it
  // in the par's steps.
  EXPECT_EQ(readfile(dir / "watched.txt"), "finished after " + par + " steps\n");
  World* original = load(leveldir + "tutorial9.lvl");
  World* played = load(dir / "played.lvl");
  expectsameworld(*original, *played, "played");
  delete played;

  // The route: a line per stretch between carried shifts, a line per shift,
  // and the last position is at the end.
  std::string replay = readfile(dir / "watched.replay");
  size_t shifts = 0;
  for (const std::string& l : linesof(replay)) shifts += startswith(l, "SHIFT");
  std::vector<Point> last;
  size_t shiftlines = 0, routelines = 0;
  for (const std::string& l : lines) {
    if (startswith(l, "object shift ")) shiftlines++;
    if (startswith(l, "object route ")) routelines++, last = pointsof(l);
  }
  EXPECT_EQ(shiftlines, shifts);
  EXPECT_GE(routelines, 2u);
  ASSERT_FALSE(last.empty());
  const Box* end = nullptr;
  for (const Box* b : original->items) end = b->kind == kind_end ? b : end;
  ASSERT_NE(end, nullptr);
  EXPECT_TRUE(touches(last.back().x, last.back().y, *end)) << last.back().x << "," << last.back().y;

  // Saving wrote the level anew, without the route, and checked it.
  std::string saved = readfile(level);
  EXPECT_TRUE(startswith(saved, "setBackground(\"tutorial9.bg\");")) << saved;
  World* back = load(level);
  expectsameworld(*original, *back, "saved");
  delete back;
  delete original;
}

// A level no input finishes: the solver proves it by searching every state,
// and the farthest points reached are drawn. Needs a solver that proves;
// one that only gives up at its bound (exit 1, or 2 for a --budget it does
// not take) skips the test.
TEST_F(TiledActions, SolveShowsTheProofOfAnUnfinishableLevel) {
  // A closed pocket the hero just fits, so every shift is refused, and the
  // end outside it.
  std::string level = dir.write("room.lvl",
      "buildNonWallJumpGround(0, 600, 0, 96);\n"
      "buildNonWallJumpGround(0, 100, 96, 300);\n"
      "buildNonWallJumpGround(148, 350, 96, 300);\n"
      "buildNonWallJumpGround(0, 350, 156, 300);\n"
      "setShiftCount(1);\n"
      "setStartPosition(100, 96);\n"
      "setEndPosition(450, 96);\n");
  std::string probe = std::string(TWINFOLD_BINARY_DIR) + "/twinfold-solve '" + level + "' -o '" +
                      dir / "room.replay" + "' --budget 20000000 >/dev/null 2>&1";
  int status = exitstatus(std::system(probe.c_str()));
  if (status == 1 || status == 2) GTEST_SKIP() << "this twinfold-solve proves nothing (exit " << status << ")";
  ASSERT_EQ(status, 4);

  std::vector<std::string> lines = drive("open " + level + "\ntrigger TwinfoldSolve\nwait\nissues\nroute\n");
  std::vector<std::string> selected = issue(lines, "error", "room.lvl: proven unfinishable");
  std::vector<Point> farthest;
  for (const std::string& l : lines) {
    if (startswith(l, "object farthest point ")) farthest.push_back(pointsof(l).at(0));
  }
  ASSERT_FALSE(farthest.empty());
  EXPECT_EQ(selected.size(), farthest.size());
  for (const Point& p : farthest) {
    // Hero positions inside the pocket: between the walls, under the ceiling.
    EXPECT_TRUE(p.x >= 100 && p.x <= 148 - herowidth && p.y >= 96 && p.y <= 156 - heroheight)
        << p.x << "," << p.y;
  }
}

// Difficulty measures the map along the .replay beside it: the Issues list
// gives the tool's expected deaths, activating the report selects the
// tightest key change, and the route layers hold it where the hero was.
TEST_F(TiledActions, DifficultyReportsTheTightestPlace) {
  std::string level = dir.write("tutorial8.lvl", readfile(leveldir + "tutorial8.lvl"));
  dir.write("tutorial8.replay", readfile(leveldir + "tutorial8.replay"));
  std::string json = dir / "figures.json";
  std::string cmd = std::string("'") + TWINFOLD_BINARY_DIR + "/twinfold-difficulty' '" + level +
                    "' --json >'" + json + "'";
  ASSERT_EQ(exitstatus(std::system(cmd.c_str())), 0);
  std::string figures = readfile(json);
  std::smatch deaths, tightest;
  ASSERT_TRUE(std::regex_search(figures, deaths, std::regex("\"expected_deaths\": ([0-9.]+)")));
  ASSERT_TRUE(std::regex_search(
      figures, tightest,
      std::regex("\"tightest\": \\{\"kind\": \"([a-z ]+)\", \"step\": [0-9]+, \"x\": (-?[0-9]+), "
                 "\"y\": (-?[0-9]+), .*?\"window\": ([0-9]+)")));
  const std::string name = "key change " + tightest[1].str() + " " + tightest[4].str();

  std::vector<std::string> lines =
      drive("open " + level + "\ntrigger TwinfoldDifficulty\nwait\nissues\nroute\n");
  std::string text;
  for (const std::string& l : lines)
    if (startswith(l, "issue warning tutorial8.lvl: expected deaths ")) text = l;
  std::smatch shown;
  ASSERT_TRUE(std::regex_search(text, shown, std::regex("expected deaths ([0-9.]+) "))) << text;
  EXPECT_EQ(std::stod(shown[1]), std::stod(deaths[1])) << text;
  EXPECT_EQ(issue(lines, "warning", "tutorial8.lvl: expected deaths"), std::vector<std::string>{name});
  std::vector<Point> at;
  for (const std::string& l : lines)
    if (startswith(l, "object " + name + " ")) at = pointsof(l.substr(7 + name.size()));
  ASSERT_EQ(at.size(), 1u) << readfile(dir / "driven");
  EXPECT_EQ(at[0].x, std::stol(tightest[2]));
  EXPECT_EQ(at[0].y, std::stol(tightest[3]));
}

// Publishing packs the saved level with the replay beside it and says where
// the pack went; a level the checker refuses gives its reasons and no pack.
TEST_F(TiledActions, PublishPacksTheLevelOrSaysWhyNot) {
  std::string good = dir.write("flat.lvl",
      "setStartPosition(100, 100);\nbuildGround(0, 2000, 0, 100);\nsetEndPosition(400, 100);\n");
  dir.write("flat.replay", "100 R\n");
  std::string bad = dir.write("open.lvl", "setStartPosition(100, 100);\nbuildGround(0, 2000, 0, 100);\n");
  std::vector<std::string> lines = drive("open " + good + "\ntrigger TwinfoldPublish\nwait\nopen " + bad +
                                         "\ntrigger TwinfoldPublish\nwait\nissues\n");
  issue(lines, "warning", "Published " + dir / "flat.twinpack");
  EXPECT_TRUE(std::filesystem::exists(dir / "flat.twinpack"));
  issue(lines, "error", "Publish level: " + bad + ": no end position");
  EXPECT_FALSE(std::filesystem::exists(dir / "open.twinpack"));
}
