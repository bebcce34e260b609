// Level packs: a chain packed and read back, every broken level refused, every
// hostile pack refused before anything is unpacked, twinfold-pack --check on a
// changed byte, and twinfold-play playing a pack's own replays.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "content/pngwrite.h"
#include "e2e.h"
#include "kit/packmake.h"
#include "kit/quietload.h"
#include "kit/sha256.h"
#include "tempdir.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace {

const std::string bin = TWINFOLD_BINARY_DIR;

std::string readall(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A flat floor from x 0 to 2000, the hero at 100, the end at endx.
std::string flatlevel(int endx, const std::string& extra = "") {
  return "setStartPosition(100, 100);\nbuildGround(0, 2000, 0, 100);\nsetEndPosition(" +
         std::to_string(endx) + ", 100);\n" + extra;
}

std::string png(int w, int h) {
  TempDir dir;
  std::vector<uint8_t> px(size_t(w) * h * 3, 7);
  std::string err;
  EXPECT_TRUE(writepngfile(dir / "p.png", w, h, 3, px.data(), true, err)) << err;
  return readall(dir / "p.png");
}

// The steps the game's rules take to finish the level with these lines.
int stepsof(const std::string& level, const std::string& replay) {
  std::string err;
  std::unique_ptr<World> w = loadquiet(level, err);
  std::vector<ReplayLine> lines;
  EXPECT_TRUE(readreplayfile(replay, lines, err)) << err;
  const ReplayResult r = playreplay(*w, lines);
  EXPECT_TRUE(r.finished) << level;
  return r.steps;
}

struct ZipEntry {
  std::string name;
  std::string bytes;
  unsigned mode = 0100644;  // the Unix mode its entry claims
};

// A zip made as any zip tool might make it, hostile or not.
std::string zipof(const std::vector<ZipEntry>& entries) {
  TempDir dir;
  int code = 0;
  zip_t* z = zip_open((dir / "z.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  EXPECT_NE(z, nullptr);
  for (const ZipEntry& e : entries) {
    zip_source_t* s = zip_source_buffer(z, e.bytes.data(), e.bytes.size(), 0);
    const zip_int64_t i = zip_file_add(z, e.name.c_str(), s, ZIP_FL_ENC_RAW);
    EXPECT_GE(i, 0) << e.name;
    zip_file_set_external_attributes(z, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX, e.mode << 16);
  }
  EXPECT_EQ(zip_close(z), 0);
  return readall(dir / "z.zip");
}

// A manifest that tells the truth about the files given, for the level
// "one.lvl" with the replay "one.replay" (par 1: the reader does not play).
ZipEntry manifestof(const std::vector<ZipEntry>& files) {
  PackManifest m;
  m.title = "Test";
  m.author = "Tester";
  m.first = "one.lvl";
  for (const ZipEntry& f : files) m.files.push_back({f.name, f.bytes.size(), sha256hex(f.bytes)});
  m.levels.push_back({"one.lvl", 1, "one.replay"});
  return {packmanifestname, manifesttext(m)};
}

std::vector<ZipEntry> goodfiles() {
  return {{"one.lvl", flatlevel(400, "setForeground(\"art\");\n")},
          {"art.png", png(4, 4)},
          {"art.a.png", png(4, 4)},
          {"one.replay", "100 R\n"}};
}

std::vector<ZipEntry> withmanifest(std::vector<ZipEntry> files) {
  files.insert(files.begin(), manifestof(files));
  return files;
}

}  // namespace

TEST(Sha256, KnownDigests) {
  // FIPS 180-2's examples: one block, and a message whose padding needs two.
  EXPECT_EQ(sha256hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha256hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

// Two levels: the first with pictures and a replay beside it, the second
// solved; every file goes in under its level's name and comes out the same.
TEST(PackMake, ChainGoesInWholeAndComesOutTheSame) {
  TempDir dir;
  dir.write("one.lvl", flatlevel(400, "setForeground(\"art\");\nsetBackground(\"art.bg\");\n"
                                      "setNextLevel(\"two.lvl\");\n"));
  dir.write("one.replay", "100 R\n");
  dir.write("art.png", png(8, 4));
  dir.write("art.a.png", png(8, 4));
  dir.write("art.bg.png", png(2, 2));
  dir.write("two.lvl", flatlevel(300));
  PackOptions options;
  options.title = "Two flats";
  options.author = "A. Maker";
  options.solve.budget = 3000000;
  PackManifest made;
  std::vector<std::string> refusals, notes;
  ASSERT_TRUE(makepack(dir / "one.lvl", dir / "flats.twinpack", options, made, refusals, notes))
      << ::testing::PrintToString(refusals);

  PackContents pack;
  ASSERT_TRUE(checkpack(dir / "flats.twinpack", pack, refusals)) << ::testing::PrintToString(refusals);
  const PackManifest& m = pack.manifest;
  EXPECT_EQ(m.title, "Two flats");
  EXPECT_EQ(m.author, "A. Maker");
  EXPECT_EQ(m.first, "one.lvl");
  ASSERT_EQ(m.levels.size(), 2u);
  EXPECT_EQ(m.levels[0].name, "one.lvl");
  EXPECT_EQ(m.levels[0].par, stepsof(dir / "one.lvl", dir / "one.replay"));
  EXPECT_EQ(m.levels[1].name, "two.lvl");
  EXPECT_EQ(packchain(pack).size(), 2u);

  std::string folder;
  ASSERT_TRUE(unpacktotemp(dir / "flats.twinpack", pack, folder, refusals));
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"one.lvl", "one.replay", "art.png", "art.a.png",
                                          "art.bg.png", "two.lvl", "two.replay"}));
  for (const char* same : {"one.lvl", "one.replay", "art.png", "art.a.png", "art.bg.png", "two.lvl"})
    EXPECT_EQ(readall(folder + "/" + same), readall(dir / same)) << same;
  // The solver's route for two.lvl finishes it in the par the manifest gives.
  EXPECT_EQ(m.levels[1].par, stepsof(folder + "/two.lvl", folder + "/two.replay"));
  fs::remove_all(folder);
}

TEST(PackMake, RefusesEachBrokenLevelWithItsReason) {
  struct Case {
    const char* what;
    std::string next;    // the second level's text
    std::string replay;  // its replay beside it, none when empty
    const char* reason;  // in the refusal
  } cases[] = {
      {"an error", flatlevel(300, "buildGrund(0, 1, 2, 3);\n"), "100 R\n", "unknown command"},
      {"a missing picture", flatlevel(300, "setForeground(\"gone\");\n"), "100 R\n", "gone"},
      {"a broken chain", flatlevel(300, "setNextLevel(\"three.lvl\");\n"), "100 R\n", "three.lvl"},
      {"a replay that does not finish", flatlevel(1800), "5 R\n", "does not finish"},
      {"no route", flatlevel(300) + "buildGround(250, 260, 100, 900);\n", "", "no route"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.write("one.lvl", flatlevel(400, "setNextLevel(\"two.lvl\");\n"));
    dir.write("one.replay", "100 R\n");
    dir.write("two.lvl", c.next);
    if (!c.replay.empty()) dir.write("two.replay", c.replay);
    PackOptions options;
    options.solve.budget = 2000000;
    PackManifest made;
    std::vector<std::string> refusals, notes;
    EXPECT_FALSE(makepack(dir / "one.lvl", dir / "p.twinpack", options, made, refusals, notes))
        << c.what;
    ASSERT_FALSE(refusals.empty()) << c.what;
    bool named = false;
    for (const std::string& r : refusals)
      named = named || (r.find("two.") != std::string::npos &&
                        r.find(c.reason) != std::string::npos);
    EXPECT_TRUE(named) << c.what << ": " << ::testing::PrintToString(refusals);
    EXPECT_FALSE(fs::exists(dir / "p.twinpack")) << c.what;
  }
}

// Every hostile pack is refused with one line naming the file and the
// reason, and the unpacking leaves nothing behind.
TEST(PackRead, RefusesEveryHostilePack) {
  auto good = goodfiles();
  auto rename = [&](const std::string& to) {
    auto f = good;
    f[0].name = to;
    auto m = withmanifest(f);
    return zipof(m);
  };
  std::string bomb(16 * 1024 * 1024, '\0');
  std::string huge = png(4, 4);
  for (int at : {16, 20}) {  // the header's width and height: 100,000 each
    huge[size_t(at)] = 0, huge[size_t(at) + 1] = 1, huge[size_t(at) + 2] = char(0x86),
    huge[size_t(at) + 3] = char(0xa0);
  }
  struct Case {
    const char* what;
    std::string bytes;
    const char* file;    // named in the refusal
    const char* reason;  // and why
  };
  std::vector<Case> cases;
  cases.push_back({"..", rename("../one.lvl"), "../one.lvl", "leads out"});
  cases.push_back({"absolute", rename("/tmp/one.lvl"), "/tmp/one.lvl", "absolute"});
  {
    auto f = goodfiles();
    f.push_back({"passwd.png", "/etc/passwd", 0120777});
    cases.push_back({"link", zipof(withmanifest(f)), "passwd.png", "a link"});
  }
  {
    auto f = goodfiles();
    f.push_back({"ART.png", png(4, 4)});
    cases.push_back({"case", zipof(withmanifest(f)), "ART.png", "only by case"});
  }
  {
    auto f = goodfiles();
    auto m = manifestof(f);
    f[1].bytes += "more";
    f.insert(f.begin(), m);
    cases.push_back({"larger", zipof(f), "art.png", "the manifest says"});
  }
  {
    auto f = goodfiles();
    f.push_back({"bomb.png", bomb});
    cases.push_back({"bomb", zipof(withmanifest(f)), "bomb.png", "more than 1000 times"});
  }
  {
    auto f = goodfiles();
    f[1].bytes = huge;
    cases.push_back({"huge picture", zipof(withmanifest(f)), "art.png", "100000 by 100000"});
  }
  {
    auto f = goodfiles();
    auto m = manifestof(f);
    f[0].bytes[0] = 'S';  // "setStart..." as "SetStart...": the same size
    f.insert(f.begin(), m);
    cases.push_back({"hash", zipof(f), "one.lvl", "SHA-256"});
  }
  {
    auto f = goodfiles();
    f[0].bytes += "setNextLevel(\"tutorial2.lvl\");\n";
    cases.push_back({"outside", zipof(withmanifest(f)), "one.lvl", "tutorial2.lvl"});
  }
  {
    auto f = goodfiles();
    f.pop_back();  // no replay, which the manifest's level names
    f.push_back({"one.txt", "x"});
    cases.push_back({"kind", zipof(withmanifest(f)), "one.txt", "not a level"});
  }
  {
    auto f = withmanifest(goodfiles());
    f.push_back({"extra.png", png(4, 4)});
    cases.push_back({"unlisted", zipof(f), "extra.png", "not in its manifest"});
  }
  cases.push_back({"no zip", "PK\3\4 but nothing more", "", "not a readable zip"});
  cases.push_back({"no manifest", zipof(goodfiles()), packmanifestname, "missing"});

  TempDir tmp;
  const char* saved = std::getenv("TMPDIR");
  const std::string oldtmp = saved ? saved : "";
  setenv("TMPDIR", tmp.path.c_str(), 1);
  for (const Case& c : cases) {
    const std::string path = tmp.write("bad.twinpack", c.bytes);
    PackContents pack;
    std::vector<std::string> refusals;
    std::string folder;
    EXPECT_FALSE(unpacktotemp(path, pack, folder, refusals)) << c.what;
    bool named = false;
    for (const std::string& r : refusals) {
      EXPECT_EQ(r.find('\n'), std::string::npos) << r;
      named = named || (r.rfind(path + ": " + c.file, 0) == 0 &&
                        r.find(c.reason) != std::string::npos);
    }
    EXPECT_TRUE(named) << c.what << ": " << ::testing::PrintToString(refusals);
    EXPECT_TRUE(folder.empty());
    fs::remove(path);
    EXPECT_TRUE(fs::is_empty(tmp.path)) << c.what << ": something was unpacked";
  }
  if (saved) setenv("TMPDIR", oldtmp.c_str(), 1); else unsetenv("TMPDIR");

  // The same files told the truth about are taken.
  PackContents pack;
  std::vector<std::string> refusals;
  EXPECT_TRUE(readpack(zipof(withmanifest(goodfiles())), "good", pack, refusals))
      << ::testing::PrintToString(refusals);
}

TEST(TwinfoldPack, ChecksAPackWritesItsSiteAndRefusesOneChangedByte) {
  TempDir dir;
  dir.write("one.lvl", flatlevel(400));
  dir.write("one.replay", "100 R\n");
  const std::string tool = bin + "/twinfold-pack";
  const std::string pack = dir / "one.twinpack";
  auto run = [&](const std::string& args) {
    const int status = std::system((tool + " " + args + " >" + (dir / "out") + " 2>" + (dir / "err")).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(run(""), 2);
  EXPECT_EQ(run(dir / "one.lvl" + " --check -o " + pack), 2);
  ASSERT_EQ(run(dir / "one.lvl" + " -o " + pack), 0) << readall(dir / "err");
  EXPECT_EQ(run(pack + " --check"), 0) << readall(dir / "err");
  // A site from a browser build: its page files, the page naming the pack,
  // the pack itself; not the build's own files, and never into a folder of
  // other files.
  fs::create_directories(dir / "web");
  fs::create_directories(dir / "mine");
  dir.write("web/index.html", "<footer><span id=\"packbar\"></span></footer>");
  for (const char* f : {"pack.js", "twinfold.js", "twinfold.wasm", "levels.data", "CMakeCache.txt"})
    dir.write(std::string("web/") + f, f);
  EXPECT_EQ(run(pack + " --check --web " + (dir / "site")), 2);
  EXPECT_EQ(run(pack + " --from " + (dir / "web")), 2);
  ASSERT_EQ(run(pack + " --web " + (dir / "site") + " --from " + (dir / "web")), 0)
      << readall(dir / "err");
  EXPECT_EQ(readall(dir / "site/index.html"),
            "<footer><span id=\"packbar\" data-pack=\"one.twinpack\"></span></footer>");
  EXPECT_EQ(readall(dir / "site/one.twinpack"), readall(pack));
  EXPECT_EQ(readall(dir / "site/levels.data"), "levels.data");
  EXPECT_TRUE(fs::exists(dir / "site/twinfold.wasm"));
  EXPECT_FALSE(fs::exists(dir / "site/CMakeCache.txt"));
  EXPECT_EQ(run(pack + " --web " + (dir / "site") + " --from " + (dir / "web")), 0);
  dir.write("mine/notes.txt", "mine");
  EXPECT_EQ(run(pack + " --web " + (dir / "mine") + " --from " + (dir / "web")), 1);
  EXPECT_NE(readall(dir / "err").find(dir / "mine"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "mine/index.html"));
  EXPECT_EQ(run(pack + " --web " + (dir / "site2") + " --from " + (dir / "nothing")), 1);
  EXPECT_FALSE(fs::exists(dir / "site2"));
  // One byte of the level's packed bytes, after its local header.
  std::string bytes = readall(pack);
  const size_t header = bytes.find("PK\3\4", bytes.find("one.lvl") - 30);
  ASSERT_NE(header, std::string::npos);
  const size_t data = header + 30 + uint8_t(bytes[header + 26]) + uint8_t(bytes[header + 28]);
  bytes[data + 3] = char(bytes[data + 3] ^ 0x10);
  dir.write("one.twinpack", bytes);
  EXPECT_EQ(run(pack + " --check"), 1);
  const std::string err = readall(dir / "err");
  EXPECT_NE(err.find(pack + ": one.lvl: "), std::string::npos) << err;
  EXPECT_EQ(run(pack + " --web " + (dir / "site3") + " --from " + (dir / "web")), 1);
  EXPECT_FALSE(fs::exists(dir / "site3"));
}

// twinfold-play plays a two-level pack by its own replays: the second level
// loads once the first is finished, and the game quits after the ending.
TEST(TwinfoldPlayPack, ReplaysFinishEveryLevel) {
  e2e::Game game;
  if (!game.hasdata()) GTEST_SKIP() << "no game data: run make first";
  e2e::TestDisplay display;
  ASSERT_TRUE(display.ok());
  TempDir dir;
  dir.write("one.lvl", flatlevel(400, "setNextLevel(\"two.lvl\");\n"));
  dir.write("one.replay", "100 R\n");
  dir.write("two.lvl", "setStartPosition(140, 100);\nbuildGround(0, 2000, 0, 100);\n"
                       "setEndPosition(300, 100);\n");
  dir.write("two.replay", "100 R\n");
  PackManifest made;
  std::vector<std::string> refusals, notes;
  ASSERT_TRUE(makepack(dir / "one.lvl", dir / "p.twinpack", {}, made, refusals, notes))
      << ::testing::PrintToString(refusals);
  fs::create_directory(dir / "tmp");
  const std::string command = "timeout 100 env TMPDIR=" + (dir / "tmp") + " SDL_AUDIODRIVER=dummy " + bin +
                              "/twinfold-play " + (dir / "p.twinpack") + " --replay --speed 0 >" +
                              (dir / "out") + " 2>" + (dir / "err");
  const int status = std::system(command.c_str());
  const std::string out = readall(dir / "out");
  ASSERT_TRUE(WIFEXITED(status)) << out << readall(dir / "err");
  EXPECT_EQ(WEXITSTATUS(status), 0) << readall(dir / "err");
  const size_t first = out.find("start location: 100,100");
  ASSERT_NE(first, std::string::npos) << out;
  EXPECT_NE(out.find("start location: 140,100", first), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "the pack's folders were left behind";
}
