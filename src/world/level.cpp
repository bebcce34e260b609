// Level loader: reads a level file one character at a time and runs each
// command as soon as its operands are read; also the built-in level.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "world/world.h"

namespace {

// Largest shift count a level may set, either sign.
constexpr int32_t maxshiftcount = 1000;

// ASCII only: bytes of 0x80 and above are neither letters nor digits, and no
// byte ever reaches the locale-dependent <cctype> tests.
bool isdigit7(int c) { return c >= '0' && c <= '9'; }
bool isalnum7(int c) {
  return isdigit7(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
// The blanks that scanf's blank directive and %s skip in the C locale.
bool isblank7(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Bounded readers over the open level file with the meaning of the scanf
// directives the format is written in. Every reader stops at the end of the
// file; an operand it cannot read keeps the value the caller gave it (0), and
// once one fails the rest of that command's operands are not read, just as
// scanf stops at its first failure. Only one character is ever pushed back.
class LevelReader {
 public:
  explicit LevelReader(FILE* f) : f(f) {}

  int get() {
    const int c = std::getc(f);
    if (c != EOF) pos++;
    return c;
  }
  void unget(int c) {
    if (c != EOF && std::ungetc(c, f) != EOF) pos--;
  }
  long offset() const { return pos; }  // characters read so far
  bool failed() const { return std::ferror(f) != 0; }  // a read failed, not just ended

  void skipblanks() {
    int c;
    while ((c = get()) != EOF && isblank7(c)) {
    }
    unget(c);
  }

  // "%d": blanks, an optional sign, decimal digits. A value beyond int32 is
  // clamped, not wrapped. On failure a sign already read stays consumed.
  bool readint(int32_t* out) {
    skipblanks();
    int c = get();
    bool negative = false;
    if (c == '+' || c == '-') {
      negative = c == '-';
      c = get();
    }
    if (!isdigit7(c)) {
      unget(c);
      return false;
    }
    const int64_t limit = negative ? -int64_t(INT32_MIN) : INT32_MAX;
    int64_t value = 0;
    for (; isdigit7(c); c = get()) {
      value = value * 10 + (c - '0');
      if (value > limit) value = limit;  // later digits cannot bring it back
    }
    unget(c);
    *out = int32_t(negative ? -value : value);
    return true;
  }

  // " %*c": blanks, then exactly one character, whatever it is.
  bool skipseparator() {
    skipblanks();
    return get() != EOF;
  }

  // "%d %*c %d ...": count integers with one separator between each two.
  // Returns how many parsed.
  int readints(int32_t* values, int count) {
    for (int i = 0; i < count; i++) {
      if (i > 0 && !skipseparator()) return i;
      if (!readint(&values[i])) return i;
    }
    return count;
  }

  // "%*c %s": one character skipped (the opening quote), blanks, then the
  // whole run of non-blank characters, of which the first `room` are kept.
  // The name ends at the run's first double quote. Empty when nothing is read.
  // The run itself (its first 256 characters) goes to *run when given.
  void readname(char* name, int room, std::string* run = nullptr) {
    name[0] = '\0';
    if (get() == EOF) return;
    skipblanks();
    int length = 0;
    int c;
    while ((c = get()) != EOF && !isblank7(c)) {
      if (length < room) name[length++] = char(c);
      if (run && run->size() < 256) run->push_back(char(c));
    }
    unget(c);
    name[length] = '\0';
    if (char* quote = std::strchr(name, '"')) *quote = '\0';
  }

 private:
  FILE* f;
  long pos = 0;  // characters read, less those pushed back
};

// The four integers of an element command, in the file's order x1, x2, y1, y2.
struct Corners {
  int32_t x1, x2, y1, y2;
};

Corners readcorners(LevelReader& in, LevelCommand& note) {
  int32_t v[4] = {0, 0, 0, 0};
  note.wanted = 4;
  note.operands = in.readints(v, 4);
  return Corners{v[0], v[1], v[2], v[3]};
}

struct Point {
  int32_t x, y;
};

Point readpoint(LevelReader& in, LevelCommand& note) {
  int32_t v[2] = {0, 0};
  note.wanted = 2;
  note.operands = in.readints(v, 2);
  return Point{v[0], v[1]};
}

void logcorners(std::ostream& log, const char* what, const Corners& c) {
  log << what << c.x1 << "," << c.x2 << "," << c.y1 << "," << c.y2 << "\n";
}

// Item corners from a point and a size; wide arithmetic so a point near the
// int32 limits cannot overflow (the far corner is clamped instead).
int32_t offset(int32_t v, int32_t d) {
  int64_t r = int64_t(v) + d;
  if (r > INT32_MAX) return INT32_MAX;
  if (r < INT32_MIN) return INT32_MIN;
  return int32_t(r);
}

Box* squareitem(Point p, int32_t size, int32_t kind) {
  return new Box(p.x, p.y, offset(p.x, size), offset(p.y, size), kind);
}

Box* pickup(Point p, int32_t kind) {
  const int32_t half = pickupsize / 2;
  return new Box(offset(p.x, -half), offset(p.y, -half), offset(p.x, half), offset(p.y, half), kind);
}

}  // namespace

LoadError World::loadfile(const char* path, std::ostream* log) {
  // 3. Open the file; the caller decides what a level it cannot have means.
  LoadError err;
  FILE* f = std::fopen(path, "r");
  if (!f) {
    err.kind = LoadError::cannotopen;
  } else {
    // 4. Run the commands; a folder opens, but its first read fails.
    if (!loadcommands(f, log)) err.kind = LoadError::cannotread;
    // 5. Done with the file.
    std::fclose(f);
  }
  if (err) err.message = std::string(path) + ": cannot be opened";
  return err;
}

bool World::loadcommands(FILE* f, std::ostream* log) {
  LevelReader in(f);
  // Without a log the lines go to a stream with no buffer, which drops them.
  std::ostream nolog(nullptr);
  std::ostream& out = log ? *log : nolog;

  // Layer 0 is the background (opaque), layer 1 the foreground (with alpha).
  // The first command of each kind wins, even one with an empty name; later
  // ones are only logged.
  bool named[2] = {false, false};
  auto setpicture = [&](int layer, const char* logprefix, char* recorded) {
    char name[pictureroom + 1];
    in.readname(name, pictureroom, &commands.back().run);
    out << logprefix << name << "\n";
    if (named[layer]) return;
    named[layer] = true;
    std::strcpy(recorded, name);
    // Made now, so its picture log lines follow this command's line.
    if (pictures) layers[layer] = pictures->layer(name, layer == 1, true);
  };

  // 4. Collect letters and digits into the word; '(' runs it as a command.
  char word[wordroom + 1];
  int length = 0;
  long wordat = -1;  // offset of the word's first letter
  int c;
  while ((c = in.get()) != EOF) {
    if (isalnum7(c)) {
      if (length == 0) wordat = in.offset() - 1;
      if (length < wordroom) word[length++] = char(c);
      continue;
    }
    if (c == ';' || c == '/') {
      length = 0;
      continue;
    }
    if (c != '(') continue;

    word[length] = '\0';
    const long at = in.offset() - 1;
    commands.push_back(LevelCommand{word, length ? wordat : at, at, true, 0, 0, "", 0, 0});
    LevelCommand& note = commands.back();
    // Element commands note which list they grew and where.
    auto addbox = [&](Box* b) {
      note.list = list_boxes;
      note.index = int(boxes.size());
      boxes.push_back(b);
    };
    auto additem = [&](Box* b) {
      note.list = list_items;
      note.index = int(items.size());
      items.push_back(b);
    };
    length = 0;
    if (!std::strcmp(word, "buildGround")) {
      Corners k = readcorners(in, note);
      addbox(new Box(k.x1, k.y1, k.x2, k.y2));
      logcorners(out, "box: ", k);
    } else if (!std::strcmp(word, "buildTriangle")) {
      Corners k = readcorners(in, note);
      addbox(new Box(k.x1, k.y1, k.x2, k.y2, true));
      logcorners(out, "triangle: ", k);
    } else if (!std::strcmp(word, "buildSlipperyTriangle")) {
      Corners k = readcorners(in, note);
      addbox(new Box(k.x1, k.y1, k.x2, k.y2, true, false, true));
      logcorners(out, "triangle: ", k);
    } else if (!std::strcmp(word, "buildLedge")) {
      Corners k = readcorners(in, note);
      addbox(new Box(k.x1, k.y1, k.x2, k.y2, false, true, false));
      logcorners(out, "box: ", k);
    } else if (!std::strcmp(word, "buildNonWallJumpGround")) {
      Corners k = readcorners(in, note);
      addbox(new Box(k.x1, k.y1, k.x2, k.y2, false, false, false, true));
      logcorners(out, "box: ", k);
    } else if (!std::strcmp(word, "buildSpikes")) {
      Corners k = readcorners(in, note);
      additem(new Box(k.x1, k.y1, k.x2, k.y2, int32_t(kind_spikes)));
      logcorners(out, "box: ", k);
    } else if (!std::strcmp(word, "setStartPosition")) {
      Point p = readpoint(in, note);
      x = checkx = p.x;
      y = checky = p.y;
      out << "start location: " << p.x << "," << p.y << "\n";
    } else if (!std::strcmp(word, "setEndPosition")) {
      Point p = readpoint(in, note);
      additem(squareitem(p, endsize, kind_end));
      out << "end location: " << p.x << "," << p.y << "\n";
    } else if (!std::strcmp(word, "setShiftCount")) {
      int32_t n = 0;
      note.wanted = 1;
      note.operands = in.readint(&n) ? 1 : 0;
      // The foreground is drawn once per unit of the count every frame, and
      // each pickup adds one: a count beyond this bound could neither be drawn
      // nor counted up without overflow.
      if (n > maxshiftcount) n = maxshiftcount;
      if (n < -maxshiftcount) n = -maxshiftcount;
      shiftcount = n;
    } else if (!std::strcmp(word, "addShiftPickup")) {
      additem(pickup(readpoint(in, note), kind_shift));
    } else if (!std::strcmp(word, "addViewMasterPickup")) {
      additem(pickup(readpoint(in, note), kind_viewmaster));
    } else if (!std::strcmp(word, "setBackground")) {
      setpicture(0, "background: ", backgroundname);
    } else if (!std::strcmp(word, "setForeground")) {
      setpicture(1, "foreground: ", foregroundname);
    } else if (!std::strcmp(word, "setNextLevel")) {
      in.readname(nextlevel, sizeof nextlevel - 1, &note.run);
      out << "next level: " << nextlevel << "\n";
    } else if (!std::strcmp(word, "addCheckPoint")) {
      additem(squareitem(readpoint(in, note), checkpointsize, kind_checkpoint));
    } else if (!std::strcmp(word, "setImageShift")) {
      // The picture offset also marks a checkpoint at the same point.
      Point p = readpoint(in, note);
      imageshiftx = p.x;
      imageshifty = p.y;
      additem(squareitem(p, checkpointsize, kind_checkpoint));
    } else {
      note.known = false;
      out << "unknown command: " << word << "\n";
      unknownwords.push_back(word);
    }
  }
  // A word still pending at the end of the file is dropped.
  return !in.failed();
}

void World::builtin() {
  // 2. The elements, corners as (x1, y1, x2, y2).
  boxes.push_back(new Box(0, 0, 400, 200));
  boxes.push_back(new Box(400, -200, 600, 100));
  boxes.push_back(new Box(0, 200, 50, 480));
  boxes.push_back(new Box(200, 300, 250, 480));
  boxes.push_back(new Box(350, 300, 250, 400, true));
  boxes.push_back(new Box(350, 300, 450, 400, true, false, true));
  boxes.push_back(new Box(550, 100, 600, 150, false, true, false));
  boxes.push_back(new Box(840, -200, 900, 100));
  boxes.push_back(new Box(600, -200, 840, -92));

  // 3. The two pictures: a plain background and a foreground with alpha.
  std::strcpy(backgroundname, "level_1.bg");
  std::strcpy(foregroundname, "level_1");
  if (!pictures) return;
  layers[0] = pictures->layer(backgroundname, false, true);
  layers[1] = pictures->layer(foregroundname, true, true);
}
