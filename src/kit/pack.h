// Level packs: one zip file holding a chain of levels, their pictures, the
// replay that finishes each one and a manifest saying what it all is. The one
// checking reader every program opens a pack with, and its writer.
//
// The manifest, twinfold-pack.txt, the pack's first entry, one item a line:
//   twinfold-pack 1                 the format version
//   title TEXT                      the pack's title, shown to players
//   author TEXT                     who made it
//   first NAME                      the level New game starts
//   file NAME SIZE SHA256           every other entry: bytes and digest
//   level NAME PAR REPLAY           every level: its par in world steps and
//                                   the replay that finishes it in PAR steps
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class World;

constexpr int packformat = 1;
constexpr const char* packmanifestname = "twinfold-pack.txt";

// What a pack may hold: a player's machine or page must never be asked for
// more than these, whatever the pack says.
constexpr uint64_t packmaxmanifest = 64 * 1024;        // manifest bytes
constexpr uint64_t packmaxfile = 32 * 1024 * 1024;     // bytes of one file
constexpr uint64_t packmaxtotal = 128 * 1024 * 1024;   // bytes of all files unpacked
constexpr int packmaxfiles = 512;                      // entries
constexpr uint64_t packmaxratio = 1000;                // unpacked bytes per packed byte
constexpr uint32_t packmaxside = 16384;                // picture width or height
constexpr uint64_t packmaxpixels = 40000000;           // picture width times height
constexpr size_t packmaxname = 127;                    // a picture name's room in the loader
constexpr size_t packmaxtext = 200;                    // title and author bytes

struct PackFile {
  std::string name;    // inside the pack, '/' between folders
  uint64_t size = 0;   // bytes unpacked
  std::string sha256;  // 64 lower-case hex digits
};

struct PackLevel {
  std::string name;    // the level file, a file of the pack
  int par = 0;         // world steps its replay takes to finish it
  std::string replay;  // the replay file, a file of the pack
};

struct PackManifest {
  int format = packformat;
  std::string title;
  std::string author;
  std::string first;               // the first level's name
  std::vector<PackFile> files;     // every entry but the manifest, in pack order
  std::vector<PackLevel> levels;   // the chain from first, in order
};

// A pack read and checked, held in memory.
struct PackContents {
  PackManifest manifest;
  std::vector<std::string> data;  // data[i]: the bytes of manifest.files[i]
};

// The manifest's text, and its reader: false with "what is wrong" per line
// in refusals (each "twinfold-pack.txt:LINE: what").
std::string manifesttext(const PackManifest& m);
bool parsemanifest(const std::string& text, PackManifest& out, std::vector<std::string>& refusals);

// A name a pack may hold: relative, of letters, digits and . _ - between
// '/'s, no empty, "." or ".." part, at most packmaxname bytes. Empty when it
// may; otherwise why not.
std::string packnameproblem(const std::string& name);

// Reads the pack's bytes (a file's, a page's) and checks, in this order and
// before anything is unpacked into memory past the manifest: every entry's
// name, kind (no links, folders or encryption), size against the manifest
// and the limits above, and its compression ratio; then unpacks each file
// and checks its digest, each picture's header against the limits, and
// every level's named pictures and next level against the pack's files.
// False with one line per refusal, "shown: NAME: reason".
bool readpack(const std::string& bytes, const std::string& shown, PackContents& out,
              std::vector<std::string>& refusals);
// The same from a file; refused without reading when larger than any pack.
bool readpackfile(const std::string& path, PackContents& out, std::vector<std::string>& refusals);

// Writes a checked pack's files into folder, which must exist and be empty
// (a fresh temporary folder): never through a link, never outside it. False
// with the refusal when a file cannot be written.
bool unpackinto(const PackContents& pack, const std::string& folder, std::string& err);

// The pack's levels in the order the game plays them: the first, then each
// one's next level, up to the end of the chain or a level met before.
std::vector<PackLevel> packchain(const PackContents& pack);

// The bytes of the pack's file name; null when it holds none.
const std::string* packdata(const PackContents& pack, const std::string& name);

// A level of the pack loaded headless and quiet from its bytes, as the game
// would load the file; null when the pack holds no such file.
std::unique_ptr<World> loadpacklevel(const PackContents& pack, const std::string& name);

// True when the file begins as a zip file does.
bool lookslikepack(const std::string& path);
