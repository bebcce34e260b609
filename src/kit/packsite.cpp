// Pack sites: the browser build copied whole, its page told which pack to
// open, and the pack, proven again, beside it.
#include "kit/packsite.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kit/packmake.h"

namespace fs = std::filesystem;

namespace {

// What a static host serves of the browser build: the page, its scripts, the
// engine and its data packages. Build files and the benchmark's program stay.
bool sitefile(const fs::path& p) {
  static const char* kinds[] = {".html", ".js", ".wasm", ".data", ".css", ".json",
                                ".webmanifest", ".png", ".ico", ".svg"};
  const std::string name = p.filename().string();
  if (name.rfind("twinfold_frames", 0) == 0) return false;
  for (const char* k : kinds)
    if (p.extension() == k) return true;
  return false;
}

// The pack's name on the site: its file name when a link may carry it as it
// is and it cannot stand for one of the page's own files.
std::string sitename(const std::string& pack) {
  const std::string name = fs::path(pack).filename().string();
  const std::string kind = fs::path(name).extension().string();
  if (kind != ".twinpack" && kind != ".zip") return "level.twinpack";
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
      return "level.twinpack";
  return name.empty() || name[0] == '.' ? "level.twinpack" : name;
}

}  // namespace

bool writepacksite(const std::string& pack, const std::string& webbuild, const std::string& out,
                   std::vector<std::string>& refusals) {
  // 1. The pack proven, and a browser build to put it in.
  PackContents contents;
  if (!checkpack(pack, contents, refusals)) return false;
  std::error_code ec;
  for (const char* need : {"index.html", "pack.js", "twinfold.js", "twinfold.wasm"})
    if (!fs::is_regular_file(fs::path(webbuild) / need, ec)) {
      refusals.push_back(webbuild + ": no " + need + ", not a browser build (make web makes one)");
      return false;
    }
  std::string page;
  {
    std::ifstream in(fs::path(webbuild) / "index.html", std::ios::binary);
    page.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const std::string bar = "id=\"packbar\"";
  const size_t at = page.find(bar);
  if (at == std::string::npos) {
    refusals.push_back(webbuild + "/index.html: no pack bar to open the pack with");
    return false;
  }
  const std::string name = sitename(pack);
  page.insert(at + bar.size(), " data-pack=\"" + name + "\"");

  // 2. The folder: new, empty, or a site written before, whose files are
  // replaced and nothing else touched.
  if (fs::exists(out, ec) && !fs::is_empty(out, ec) &&
      !fs::is_regular_file(fs::path(out) / "twinfold.wasm", ec)) {
    refusals.push_back(out + ": holds files of its own, not a site written before");
    return false;
  }
  fs::create_directories(out, ec);
  if (!fs::is_directory(out, ec)) {
    refusals.push_back(out + ": cannot be made");
    return false;
  }

  // 3. The build's files, the pack, and the page naming it.
  for (fs::directory_iterator it(webbuild, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file() || !sitefile(it->path()) || it->path().filename() == "index.html")
      continue;
    fs::copy_file(it->path(), fs::path(out) / it->path().filename(),
                  fs::copy_options::overwrite_existing, ec);
    if (ec) {
      refusals.push_back((fs::path(out) / it->path().filename()).string() + ": cannot be written");
      return false;
    }
  }
  fs::copy_file(pack, fs::path(out) / name, fs::copy_options::overwrite_existing, ec);
  std::ofstream o(fs::path(out) / "index.html", std::ios::binary | std::ios::trunc);
  o << page;
  if (ec || !o.flush()) {
    refusals.push_back(out + ": cannot be written");
    return false;
  }
  return true;
}
