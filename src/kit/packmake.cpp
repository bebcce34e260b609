// Level packs made and proven: the checker and the replays (or the solver)
// on every level of a chain, the zip written through libzip, and the replays
// played again on what the checking reader gives back.
#include "kit/packmake.h"

#include <stdlib.h>
#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "kit/levelcheck.h"
#include "kit/quietload.h"
#include "kit/replay.h"
#include "kit/sha256.h"
#include "world/world.h"

namespace fs = std::filesystem;

namespace {

bool slurp(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string stem(const std::string& name) {
  return name.size() > 4 && name.compare(name.size() - 4, 4, ".lvl") == 0
             ? name.substr(0, name.size() - 4)
             : name;
}

// One file of the pack to be: its name inside and its bytes.
struct Entry {
  std::string name;
  std::string bytes;
};

// Adds a file unless the pack has it already (levels share pictures).
void addentry(std::vector<Entry>& entries, const std::string& name, std::string bytes) {
  for (const Entry& e : entries)
    if (e.name == name) return;
  entries.push_back({name, std::move(bytes)});
}

// The route for one level: its replay beside it, played on a fresh world,
// or the solver's. Empty why when it finishes the level.
struct Route {
  std::vector<ReplayLine> lines;
  std::string text;  // the replay file as it goes into the pack
  int par = 0;
  std::string why;   // the refusal: no route
  std::string note;  // where the route came from
};

Route findroute(const std::string& path, const std::string& replaypath,
                const SolveOptions& options) {
  Route r;
  std::string err;
  std::error_code ec;
  if (fs::is_regular_file(replaypath, ec)) {
    if (!readreplayfile(replaypath, r.lines, err) || !slurp(replaypath, r.text)) {
      r.why = err.empty() ? replaypath + ": cannot be read" : err;
      return r;
    }
    std::unique_ptr<World> w = loadquiet(path, err);
    if (!w) {
      r.why = err;
      return r;
    }
    const ReplayResult played = playreplay(*w, r.lines);
    if (!played.finished)
      r.why = replaypath + ": does not finish the level (it ends after " +
              std::to_string(played.steps) + " steps)";
    r.par = played.steps;
    r.note = path + ": replay " + replaypath + ", par " + std::to_string(r.par);
    return r;
  }
  const SolveResult solved = solvelevel(path, options);
  if (!solved.solved) {
    r.why = path + ": no route finishes it: " +
            (solved.proven ? std::string("the solver searched every reachable state")
                           : "the solver found none" +
                                 (solved.err.empty() ? std::string() : " (" + solved.err + ")") +
                                 "; write a replay beside it (" + replaypath + ")");
    return r;
  }
  r.lines = solved.lines;
  r.text = replaytext(r.lines, {"found by the solver, par " + std::to_string(solved.steps)});
  r.par = solved.steps;
  r.note = path + ": no replay beside it, solved: par " + std::to_string(r.par);
  return r;
}

bool writezip(const std::string& out, const std::vector<Entry>& entries, std::string& err) {
  int code = 0;
  zip_t* z = zip_open(out.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!z) {
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    err = out + ": cannot be written: " + zip_error_strerror(&e);
    zip_error_fini(&e);
    return false;
  }
  for (const Entry& e : entries) {
    // The bytes stay in entries until zip_close has written them.
    zip_source_t* s = zip_source_buffer(z, e.bytes.data(), e.bytes.size(), 0);
    const zip_int64_t i = s ? zip_file_add(z, e.name.c_str(), s, ZIP_FL_ENC_UTF_8) : -1;
    if (i < 0) {
      if (s) zip_source_free(s);
      err = out + ": " + e.name + " cannot be added: " + zip_strerror(z);
      zip_discard(z);
      return false;
    }
    // Deflated, pictures too (the game's PNGs shrink by a further 6%, which
    // a player's download keeps); plain files with a fixed time: the same
    // levels make the same pack.
    zip_set_file_compression(z, zip_uint64_t(i), ZIP_CM_DEFLATE, 9);
    zip_file_set_external_attributes(z, zip_uint64_t(i), 0, ZIP_OPSYS_UNIX, 0100644u << 16);
    zip_file_set_mtime(z, zip_uint64_t(i), 315532800, 0);  // 1980-01-01, zip's first day
  }
  if (zip_close(z) != 0) {
    err = out + ": cannot be written: " + zip_strerror(z);
    zip_discard(z);
    return false;
  }
  return true;
}

}  // namespace

bool makepack(const std::string& first, const std::string& out, const PackOptions& options,
              PackManifest& made, std::vector<std::string>& refusals,
              std::vector<std::string>& notes) {
  made = PackManifest{};
  const size_t before = refusals.size();
  std::error_code ec;
  if (!fs::is_regular_file(first, ec)) {
    refusals.push_back(first + ": cannot be opened");
    return false;
  }
  made.first = fs::path(first).filename().string();
  made.title = options.title.empty() ? stem(made.first) : options.title;
  made.author = options.author.empty() ? "unknown" : options.author;

  // 1. The checker on the chain; the names each level gives its files.
  const std::vector<LevelCheck> chain = checkchain(first);
  std::vector<Entry> entries;
  std::string name = made.first;  // the level's name in the pack: as the level before names it
  for (const LevelCheck& c : chain) {
    for (const std::string& p : c.problems) refusals.push_back(p);
    std::string err;
    std::unique_ptr<World> w = loadquiet(c.path, err);
    const std::string bad = packnameproblem(name);
    if (!bad.empty()) refusals.push_back(c.path + ": the pack cannot hold it under its name " +
                                         name + ": " + bad);
    if (!w || !c.problems.empty() || !bad.empty()) {
      name = w ? w->nextlevel : "";
      continue;
    }
    std::string bytes;
    slurp(c.path, bytes);
    addentry(entries, name, bytes);
    const fs::path from = fs::path(c.path).parent_path();
    std::vector<std::string> pictures;
    if (w->foregroundname[0]) {
      pictures.push_back(std::string(w->foregroundname) + ".png");
      pictures.push_back(std::string(w->foregroundname) + ".a.png");
    }
    if (w->backgroundname[0]) pictures.push_back(std::string(w->backgroundname) + ".png");
    for (const std::string& p : pictures) {
      const std::string pbad = packnameproblem(p);
      std::string pbytes;
      if (!pbad.empty())
        refusals.push_back(c.path + ": picture " + p + ": " + pbad);
      else if (!slurp((from / p).string(), pbytes))
        refusals.push_back(c.path + ": picture " + p + " cannot be read");
      else
        addentry(entries, p, pbytes);
    }

    // 2. The route that proves it finishable.
    const std::string replayname = stem(name) + ".replay";
    const Route r = findroute(c.path, stem(c.path) + ".replay", options.solve);
    if (!r.why.empty()) {
      refusals.push_back(r.why);
    } else {
      notes.push_back(r.note);
      addentry(entries, replayname, r.text);
      made.levels.push_back({name, r.par, replayname});
    }
    name = w->nextlevel;
  }
  if (refusals.size() != before) return false;

  // 3. The manifest first, then the files, into the zip.
  for (const Entry& e : entries)
    made.files.push_back({e.name, e.bytes.size(), sha256hex(e.bytes)});
  entries.insert(entries.begin(), Entry{packmanifestname, manifesttext(made)});
  std::string err;
  if (!writezip(out, entries, err)) {
    refusals.push_back(err);
    return false;
  }

  // 4. What goes out is what the checking reader takes, or nothing.
  PackContents back;
  if (!readpackfile(out, back, refusals)) {
    fs::remove(out, ec);
    return false;
  }
  return true;
}

bool checkpack(const std::string& path, PackContents& pack, std::vector<std::string>& refusals) {
  if (!readpackfile(path, pack, refusals)) return false;
  const size_t before = refusals.size();
  for (const PackLevel& l : pack.manifest.levels) {
    const std::string* text = packdata(pack, l.replay);
    std::vector<ReplayLine> lines;
    std::string err;
    std::istringstream in(text ? *text : "");
    if (!readreplay(in, path + ": " + l.replay, lines, err)) {
      refusals.push_back(err);
      continue;
    }
    std::unique_ptr<World> w = loadpacklevel(pack, l.name);
    if (!w) {
      refusals.push_back(path + ": " + l.name + ": cannot be read");
      continue;
    }
    const ReplayResult played = playreplay(*w, lines);
    if (!played.finished)
      refusals.push_back(path + ": " + l.name + ": its replay " + l.replay +
                         " does not finish it (it ends after " + std::to_string(played.steps) +
                         " steps)");
    else if (played.steps != l.par)
      refusals.push_back(path + ": " + l.name + ": its replay finishes it in " +
                         std::to_string(played.steps) + " steps, the manifest's par is " +
                         std::to_string(l.par));
  }
  return refusals.size() == before;
}

bool unpacktotemp(const std::string& path, PackContents& pack, std::string& folder,
                  std::vector<std::string>& refusals) {
  folder.clear();
  if (!readpackfile(path, pack, refusals)) return false;
  std::error_code ec;
  std::string pattern = (fs::temp_directory_path(ec) / "twinfold-pack-XXXXXX").string();
  if (ec || !mkdtemp(pattern.data())) {
    refusals.push_back(pattern + ": cannot be made");
    return false;
  }
  std::string err;
  if (!unpackinto(pack, pattern, err)) {
    refusals.push_back(path + ": " + err);
    fs::remove_all(pattern, ec);
    return false;
  }
  folder = pattern;
  return true;
}
