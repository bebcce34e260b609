// Level packs in the browser: the page hands the game a pack's bytes (a file
// picked or dropped, or fetched from ?pack=), which pass the one checking
// reader, are unpacked into a fresh folder and laid out as a test-play folder
// is natively, the pack's first level as tutorial1.lvl beside links to the
// game's own data. The game then runs in that folder, so New game plays the
// pack; the game's own levels come back by returning to the game's folder.
#include <emscripten.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kit/pack.h"
#include "kit/playfolder.h"

namespace {

// The game's own folder, where the page's data packages are mounted; set at
// the first pack, before the game has left it.
std::string gamefolder;
// The pack in play: its unpacked files and the folder the game runs in.
std::string unpacked, playing;
// What the last call returns to the page: kept until the next call.
std::string answer;

void leavepack() {
  if (!gamefolder.empty() && chdir(gamefolder.c_str()) != 0) return;
  removeplayfolder(playing);
  removeplayfolder(unpacked);
  playing.clear();
  unpacked.clear();
}

const char* refuse(const std::vector<std::string>& refusals) {
  answer = "refused";
  for (const std::string& r : refusals) answer += "\n" + r;
  return answer.c_str();
}

}  // namespace

extern "C" {

// Opens the pack the page wrote at path (read, then removed), named shown in
// refusals. Returns "ok\nTITLE\nAUTHOR" once New game plays the pack, or
// "refused\nLINE..." with the reader's one line per reason; a refused pack
// leaves the game in the folder it was in.
EMSCRIPTEN_KEEPALIVE const char* twinfold_openpack(const char* path, const char* shown) {
  if (gamefolder.empty()) {
    char here[PATH_MAX];
    gamefolder = getcwd(here, sizeof here) ? here : "/";
  }
  // 1. The bytes, refused unread when larger than any pack may be.
  std::string bytes;
  {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? std::streamoff(in.tellg()) : -1;
    if (size < 0) return refuse({std::string(shown) + ": cannot be read"});
    if (uint64_t(size) > packmaxtotal)
      return refuse({std::string(shown) + ": larger than any pack may be"});
    in.seekg(0);
    bytes.resize(size_t(size));
    in.read(bytes.data(), size);
  }
  unlink(path);
  // 2. The checking reader, before anything is written.
  PackContents pack;
  std::vector<std::string> refusals;
  if (!readpack(bytes, shown, pack, refusals)) return refuse(refusals);
  // 3. Unpacked into a fresh folder, then laid out beside the game's data.
  std::string folder = "/tmp/twinfold-pack-XXXXXX";
  if (!mkdtemp(folder.data())) return refuse({folder + ": cannot be made"});
  std::string err;
  if (!unpackinto(pack, folder, err)) {
    removeplayfolder(folder);
    return refuse({std::string(shown) + ": " + err});
  }
  PlayFolder play;
  if (!layplayfolder(gamefolder, folder + "/" + pack.manifest.first, play, err)) {
    removeplayfolder(folder);
    return refuse({std::string(shown) + ": " + err});
  }
  // 4. The game moves into it; the pack before, if any, goes.
  leavepack();
  if (chdir(play.path.c_str()) != 0) {
    removeplayfolder(play.path);
    removeplayfolder(folder);
    return refuse({play.path + ": cannot be entered"});
  }
  unpacked = folder;
  playing = play.path;
  answer = "ok\n" + pack.manifest.title + "\n" + pack.manifest.author;
  return answer.c_str();
}

// The most bytes a pack may have, which the page asks before it reads one.
EMSCRIPTEN_KEEPALIVE double twinfold_packmaxbytes() { return double(packmaxtotal); }

// The game's own levels again: New game plays tutorial1 of the game's data.
EMSCRIPTEN_KEEPALIVE void twinfold_ownlevels() { leavepack(); }

}  // extern "C"
