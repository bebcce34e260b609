// Level packs read through libzip: the manifest, the checks every entry
// passes before it is unpacked, and unpacking into a folder of the pack's own.
#include "kit/pack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "kit/sha256.h"
#include "world/world.h"

namespace {

bool endswith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The kinds of file a pack holds: levels, their pictures and their replays.
bool packkind(const std::string& name) {
  return endswith(name, ".lvl") || endswith(name, ".png") || endswith(name, ".replay");
}

// Text for the title and author: printable, no line breaks, bounded.
bool plaintext(const std::string& s) {
  if (s.empty() || s.size() > packmaxtext) return false;
  for (unsigned char c : s)
    if (c < 32 || c == 127) return false;
  return true;
}

bool ishex64(const std::string& s) {
  if (s.size() != 64) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'a' || c > 'f')) return false;
  return true;
}

// A decimal count without sign, at most max; false on anything else.
bool readcount(const std::string& s, uint64_t max, uint64_t& out) {
  if (s.empty() || s.size() > 12) return false;
  out = 0;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    out = out * 10 + uint64_t(c - '0');
  }
  return out <= max;
}

uint32_t bigendian(const std::string& b, size_t at) {
  return uint32_t(static_cast<unsigned char>(b[at])) << 24 |
         uint32_t(static_cast<unsigned char>(b[at + 1])) << 16 |
         uint32_t(static_cast<unsigned char>(b[at + 2])) << 8 |
         uint32_t(static_cast<unsigned char>(b[at + 3]));
}

// The PNG header's claim, checked before anything decodes the picture:
// empty when it is a PNG of a size the game may allocate.
std::string pictureproblem(const std::string& b) {
  static const char signature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
  if (b.size() < 24 || b.compare(0, 8, std::string(signature, 8)) != 0 ||
      b.compare(12, 4, "IHDR") != 0)
    return "is not a PNG picture";
  const uint32_t w = bigendian(b, 16), h = bigendian(b, 20);
  if (w == 0 || h == 0 || w > packmaxside || h > packmaxside ||
      uint64_t(w) * h > packmaxpixels)
    return "claims " + std::to_string(w) + " by " + std::to_string(h) +
           " pixels, more than a pack's picture may have (" + std::to_string(packmaxside) +
           " a side, " + std::to_string(packmaxpixels) + " in all)";
  return "";
}

struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct FileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// One entry's bytes, exactly size of them: libzip checks the CRC at the end.
bool readentry(zip_t* z, zip_uint64_t index, uint64_t size, std::string& out, std::string& why) {
  std::unique_ptr<zip_file_t, FileCloser> f(zip_fopen_index(z, index, 0));
  if (!f) {
    why = std::string("cannot be unpacked: ") + zip_strerror(z);
    return false;
  }
  out.assign(size, '\0');
  zip_int64_t got = size ? zip_fread(f.get(), &out[0], size) : 0;
  char more;
  if (got != zip_int64_t(size) || zip_fread(f.get(), &more, 1) != 0) {
    why = got < 0 ? std::string("cannot be unpacked: ") + zip_file_strerror(f.get())
                  : "holds other than the bytes its entry gives";
    return false;
  }
  return true;
}

// What a level loaded from bytes names: files the pack must hold.
struct LevelNames {
  std::vector<std::string> pictures;
  std::string next;
};

// The loader reads from a file: the bytes are handed to it as one, in memory.
std::unique_ptr<World> loadbytes(const std::string& bytes) {
  std::unique_ptr<World> w(new World(nopictures));
  if (bytes.empty()) return w;  // fmemopen refuses an empty buffer; an empty level is one
  FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
  if (!f) return nullptr;
  const bool read = w->loadcommands(f, nullptr);
  std::fclose(f);
  return read ? std::move(w) : nullptr;
}

bool levelnames(const std::string& bytes, LevelNames& out) {
  std::unique_ptr<World> loaded = loadbytes(bytes);
  if (!loaded) return false;
  const World& w = *loaded;
  if (w.foregroundname[0]) {
    out.pictures.push_back(std::string(w.foregroundname) + ".png");
    out.pictures.push_back(std::string(w.foregroundname) + ".a.png");
  }
  if (w.backgroundname[0]) out.pictures.push_back(std::string(w.backgroundname) + ".png");
  out.next = w.nextlevel;
  return true;
}

}  // namespace

std::string packnameproblem(const std::string& name) {
  if (name.empty()) return "an empty name";
  if (name[0] == '/') return "an absolute name";
  if (name.size() > packmaxname) return "a name longer than " + std::to_string(packmaxname);
  std::string part;
  for (size_t i = 0; i <= name.size(); i++) {
    if (i == name.size() || name[i] == '/') {
      if (part == "..") return "a name that leads out of the pack's folder (..)";
      if (part.empty() || part == ".") return "a name with an empty or '.' part";
      part.clear();
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (!std::isalnum(c) && c != '.' && c != '_' && c != '-')
      return "a name with a character other than letters, digits, '.', '_', '-' and '/'";
    part += char(c);
  }
  return "";
}

std::string manifesttext(const PackManifest& m) {
  std::string t = "twinfold-pack " + std::to_string(m.format) + "\n";
  t += "title " + m.title + "\n";
  t += "author " + m.author + "\n";
  t += "first " + m.first + "\n";
  for (const PackFile& f : m.files)
    t += "file " + f.name + " " + std::to_string(f.size) + " " + f.sha256 + "\n";
  for (const PackLevel& l : m.levels)
    t += "level " + l.name + " " + std::to_string(l.par) + " " + l.replay + "\n";
  return t;
}

bool parsemanifest(const std::string& text, PackManifest& out,
                   std::vector<std::string>& refusals) {
  out = PackManifest{};
  const size_t before = refusals.size();
  auto refuse = [&](int line, const std::string& what) {
    refusals.push_back(std::string(packmanifestname) + ":" + std::to_string(line) + ": " + what);
  };
  std::istringstream in(text);
  std::string line;
  int lineno = 0;
  bool sawformat = false;
  std::set<std::string> names, levels;
  while (std::getline(in, line)) {
    lineno++;
    const size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    std::istringstream words(rest);
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    if (lineno == 1) {
      if (key != "twinfold-pack" || rest != std::to_string(packformat)) {
        refuse(lineno, "not a Twinfold pack of format " + std::to_string(packformat));
        return false;
      }
      sawformat = true;
    } else if (key == "title" || key == "author") {
      std::string& field = key == "title" ? out.title : out.author;
      if (!field.empty() || !plaintext(rest))
        refuse(lineno, key + " given twice, empty, too long or with control characters");
      else
        field = rest;
    } else if (key == "first" && w.size() == 1 && out.first.empty()) {
      out.first = w[0];
    } else if (key == "file" && w.size() == 3) {
      PackFile f{w[0], 0, w[2]};
      const std::string bad = packnameproblem(f.name);
      if (!bad.empty())
        refuse(lineno, f.name + ": " + bad);
      else if (!names.insert(lower(f.name)).second)
        refuse(lineno, f.name + ": listed twice, or differs from another name only by case");
      else if (!readcount(w[1], packmaxfile, f.size))
        refuse(lineno, f.name + ": a size that is no number up to " + std::to_string(packmaxfile));
      else if (!ishex64(f.sha256))
        refuse(lineno, f.name + ": a SHA-256 that is not 64 hex digits");
      else
        out.files.push_back(f);
    } else if (key == "level" && w.size() == 3) {
      uint64_t par = 0;
      if (!readcount(w[1], 100000000, par))
        refuse(lineno, w[0] + ": a par that is no number");
      else if (!levels.insert(w[0]).second)
        refuse(lineno, w[0] + ": listed twice");
      else
        out.levels.push_back({w[0], int(par), w[2]});
    } else {
      refuse(lineno, "not a manifest line: " + line.substr(0, 60));
    }
  }
  if (!sawformat) refuse(1, "empty");
  if (out.title.empty() || out.author.empty() || out.first.empty())
    refuse(lineno, "no title, author or first level");
  if (int(out.files.size()) > packmaxfiles)
    refuse(lineno, "more than " + std::to_string(packmaxfiles) + " files");
  return refusals.size() == before;
}

bool readpack(const std::string& bytes, const std::string& shown, PackContents& out,
              std::vector<std::string>& refusals) {
  out = PackContents{};
  const size_t before = refusals.size();
  auto refuse = [&](const std::string& name, const std::string& why) {
    refusals.push_back(shown + ": " + (name.empty() ? "" : name + ": ") + why);
  };
  if (bytes.size() > packmaxtotal) {
    refuse("", "larger than any pack (" + std::to_string(packmaxtotal) + " bytes)");
    return false;
  }
  // 1. The container, opened from memory with libzip's consistency checks.
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
  std::unique_ptr<zip_t, ZipCloser> z(
      source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr);
  if (!z) {
    if (source) zip_source_free(source);
    refuse("", std::string("not a readable zip file: ") + zip_error_strerror(&error));
    zip_error_fini(&error);
    return false;
  }
  zip_error_fini(&error);
  const zip_int64_t count = zip_get_num_entries(z.get(), 0);
  if (count < 1 || count > packmaxfiles + 1) {
    refuse("", "holds " + std::to_string(count) + " entries, not 1 to " +
                   std::to_string(packmaxfiles + 1));
    return false;
  }

  // 2. Every entry's name and kind, from the directory alone.
  struct Entry {
    std::string name;
    zip_stat_t st;
  };
  std::vector<Entry> entries;
  std::map<std::string, std::string> folded;  // lower-case name -> name
  std::map<std::string, size_t> byname;
  for (zip_int64_t i = 0; i < count; i++) {
    Entry e;
    zip_stat_init(&e.st);
    if (zip_stat_index(z.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW, &e.st) != 0 ||
        !(e.st.valid & ZIP_STAT_NAME) || !(e.st.valid & ZIP_STAT_SIZE) ||
        !(e.st.valid & ZIP_STAT_COMP_SIZE)) {
      refuse("entry " + std::to_string(i), "cannot be read from the zip directory");
      continue;
    }
    e.name = e.st.name;
    std::string bad = packnameproblem(e.name);
    if (bad.empty()) {
      zip_uint8_t opsys;
      zip_uint32_t attributes;
      if (zip_file_get_external_attributes(z.get(), zip_uint64_t(i), 0, &opsys, &attributes) == 0 &&
          opsys == ZIP_OPSYS_UNIX) {
        const unsigned mode = (attributes >> 16) & 0170000;
        if (mode == 0120000) bad = "a link, which a pack may not hold";
        else if (mode != 0 && mode != 0100000) bad = "not a plain file";
      }
    }
    if (bad.empty() && e.name != packmanifestname && !packkind(e.name))
      bad = "not a level (.lvl), picture (.png) or replay (.replay)";
    if (bad.empty() && (e.st.valid & ZIP_STAT_ENCRYPTION_METHOD) &&
        e.st.encryption_method != ZIP_EM_NONE)
      bad = "encrypted";
    if (bad.empty() && (e.st.valid & ZIP_STAT_COMP_METHOD) && e.st.comp_method != ZIP_CM_STORE &&
        e.st.comp_method != ZIP_CM_DEFLATE)
      bad = "compressed other than stored or deflated";
    if (bad.empty()) {
      auto seen = folded.emplace(lower(e.name), e.name);
      if (!seen.second)
        bad = seen.first->second == e.name ? "in the pack twice"
                                           : "differs from " + seen.first->second + " only by case";
    }
    // A thousandfold expansion is a bomb, whatever the manifest says.
    if (bad.empty() && e.st.size > packmaxratio * (e.st.comp_size ? e.st.comp_size : 1))
      bad = "expands " + std::to_string(e.st.size) + " bytes from " +
            std::to_string(e.st.comp_size) + ", more than " + std::to_string(packmaxratio) +
            " times";
    if (!bad.empty()) {
      refuse(e.name, bad);
      continue;
    }
    byname[e.name] = entries.size();
    entries.push_back(e);
  }
  if (refusals.size() != before) return false;

  // 3. The manifest, bounded before it is read.
  auto m = byname.find(packmanifestname);
  if (m == byname.end()) {
    refuse(packmanifestname, "missing: no Twinfold pack");
    return false;
  }
  const Entry& me = entries[m->second];
  std::string text, why;
  if (me.st.size > packmaxmanifest) {
    refuse(packmanifestname, "larger than " + std::to_string(packmaxmanifest) + " bytes");
    return false;
  }
  if (!readentry(z.get(), me.st.index, me.st.size, text, why)) {
    refuse(packmanifestname, why);
    return false;
  }
  std::vector<std::string> lines;
  if (!parsemanifest(text, out.manifest, lines)) {
    for (const std::string& l : lines) refusals.push_back(shown + ": " + l);
    return false;
  }
  const PackManifest& man = out.manifest;

  // 4. Entries against the manifest: the same files, each of the size it
  // gives, within the limits, before a byte of them is unpacked.
  std::set<std::string> listed;
  uint64_t total = 0;
  for (const PackFile& f : man.files) {
    listed.insert(f.name);
    auto at = byname.find(f.name);
    if (at == byname.end()) {
      refuse(f.name, "listed in the manifest but not in the pack");
      continue;
    }
    const zip_stat_t& st = entries[at->second].st;
    if (st.size != f.size)
      refuse(f.name, "holds " + std::to_string(st.size) + " bytes, the manifest says " +
                         std::to_string(f.size));
    total += f.size;
  }
  for (const Entry& e : entries)
    if (e.name != packmanifestname && !listed.count(e.name))
      refuse(e.name, "in the pack but not in its manifest");
  if (total > packmaxtotal)
    refuse("", "unpacks to more than " + std::to_string(packmaxtotal) + " bytes");
  std::set<std::string> levelnames_;
  for (const PackLevel& l : man.levels) {
    levelnames_.insert(l.name);
    if (!listed.count(l.name) || !endswith(l.name, ".lvl"))
      refuse(l.name, "a level the manifest gives but no .lvl file of the pack");
    if (!listed.count(l.replay) || !endswith(l.replay, ".replay"))
      refuse(l.name, "its replay " + l.replay + " is no .replay file of the pack");
  }
  if (!levelnames_.count(man.first)) refuse(man.first, "the first level is no level of the pack");
  if (refusals.size() != before) return false;

  // 5. Unpacked into memory: digests, picture headers.
  std::map<std::string, const std::string*> data;
  out.data.resize(man.files.size());
  for (size_t i = 0; i < man.files.size(); i++) {
    const PackFile& f = man.files[i];
    if (!readentry(z.get(), entries[byname[f.name]].st.index, f.size, out.data[i], why)) {
      refuse(f.name, why);
      continue;
    }
    if (sha256hex(out.data[i]) != f.sha256) {
      refuse(f.name, "its SHA-256 is not the manifest's");
      continue;
    }
    if (endswith(f.name, ".png")) {
      const std::string bad = pictureproblem(out.data[i]);
      if (!bad.empty()) refuse(f.name, bad);
    }
    data[f.name] = &out.data[i];
  }
  if (refusals.size() != before) return false;

  // 6. Every level names only pictures and levels of the pack.
  for (const PackLevel& l : man.levels) {
    LevelNames n;
    if (!levelnames(*data[l.name], n)) {
      refuse(l.name, "cannot be read");
      continue;
    }
    for (const std::string& p : n.pictures)
      if (!data.count(p)) refuse(l.name, "names the picture " + p + ", which is not in the pack");
    if (!n.next.empty() && !levelnames_.count(n.next))
      refuse(l.name, "names the next level " + n.next + ", which is no level of the pack");
  }
  return refusals.size() == before;
}

bool readpackfile(const std::string& path, PackContents& out,
                  std::vector<std::string>& refusals) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    refusals.push_back(path + ": cannot be opened");
    return false;
  }
  if (uint64_t(st.st_size) > packmaxtotal) {
    refusals.push_back(path + ": larger than any pack (" + std::to_string(packmaxtotal) +
                       " bytes)");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes(size_t(st.st_size), '\0');
  if (!in.read(&bytes[0], std::streamsize(bytes.size()))) {
    refusals.push_back(path + ": cannot be read");
    return false;
  }
  return readpack(bytes, path, out, refusals);
}

bool unpackinto(const PackContents& pack, const std::string& folder, std::string& err) {
  for (size_t i = 0; i < pack.manifest.files.size(); i++) {
    const std::string& name = pack.manifest.files[i].name;
    if (!packnameproblem(name).empty()) {  // readpack refused it already; never trust a caller
      err = name + ": " + packnameproblem(name);
      return false;
    }
    // Folders made one part at a time, each a real folder of our own.
    std::string at = folder;
    for (size_t slash = name.find('/'); slash != std::string::npos;
         slash = name.find('/', slash + 1)) {
      at = folder + "/" + name.substr(0, slash);
      struct stat st;
      if (mkdir(at.c_str(), 0755) != 0 && (lstat(at.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
        err = at + ": cannot be made";
        return false;
      }
    }
    const std::string path = folder + "/" + name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    const std::string& bytes = pack.data[i];
    bool ok = fd >= 0;
    for (size_t done = 0; ok && done < bytes.size();) {
      const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      ok = n > 0;
      done += ok ? size_t(n) : 0;
    }
    if (fd >= 0 && close(fd) != 0) ok = false;
    if (!ok) {
      err = path + ": cannot be written";
      return false;
    }
  }
  return true;
}

const std::string* packdata(const PackContents& pack, const std::string& name) {
  for (size_t i = 0; i < pack.manifest.files.size() && i < pack.data.size(); i++)
    if (pack.manifest.files[i].name == name) return &pack.data[i];
  return nullptr;
}

std::unique_ptr<World> loadpacklevel(const PackContents& pack, const std::string& name) {
  const std::string* bytes = packdata(pack, name);
  return bytes ? loadbytes(*bytes) : nullptr;
}

std::vector<PackLevel> packchain(const PackContents& pack) {
  std::vector<PackLevel> chain;
  std::set<std::string> seen;
  std::string at = pack.manifest.first;
  while (!at.empty() && seen.insert(at).second) {
    const PackLevel* level = nullptr;
    for (const PackLevel& l : pack.manifest.levels)
      if (l.name == at) level = &l;
    const std::string* bytes = packdata(pack, at);
    LevelNames n;
    if (!level || !bytes || !levelnames(*bytes, n)) break;
    chain.push_back(*level);
    at = n.next;
  }
  return chain;
}

bool lookslikepack(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  char head[4];
  return in.read(head, 4) && head[0] == 'P' && head[1] == 'K' && head[2] == 3 && head[3] == 4;
}
