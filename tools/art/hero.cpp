// The hero, a little round sprout creature with a red scarf, drawn in every
// pose of its animations; and the two pickup toys.
#include "hero.h"

#include <cmath>

#include "scene.h"

namespace {

const float pi = 3.14159265f;

// The hero's colours.
const Colour outline = hexcolour(0x1b3a44);
const Colour body = hexcolour(0x3fa7b5);
const Colour bodyshade = hexcolour(0x2b7f8c);
const Colour belly = hexcolour(0xc4ece8);
const Colour scarf = hexcolour(0xe0483e);
const Colour scarfdark = hexcolour(0xa8302c);
const Colour stripe = hexcolour(0xffd166);
const Colour foot = hexcolour(0x2b3a4a);
const Colour white = hexcolour(0xffffff);
const Colour pupil = hexcolour(0x161625);
const Colour leaf = hexcolour(0x7bc043);
const Colour leafdark = hexcolour(0x4e8a2a);

// One pose, in design units: the 48 by 60 hero box, feet on y = 0, facing right.
struct Pose {
  float bx = 0, by = 0;        // body offset
  float sx = 1, sy = 1;        // body stretch about its centre
  float lean = 0;              // forward shear of the body, per unit of height
  float nearx = 29, neary = 3; // near foot centre
  float farx = 22, fary = 3;   // far foot centre
  float nearreach = 0.6f;      // near arm angle, radians from straight down, forward positive
  float farreach = -0.4f;      // far arm angle
  float armlen = 9;            // arm length
  float tail = 0.1f;           // scarf tail angle, radians up from pointing back
  float wave = 0;              // scarf wave phase
  float flutter = 1;           // scarf wave size
  float eye = 1;               // eye opening, 0 closed .. 1 open
  float lookx = 1, looky = 0;  // pupil offset
  bool wall = false;           // pressed to a wall at the right edge
};

// Body centre and radii after the pose.
struct Frame {
  float cx, cy, rx, ry;
};

void drawhero(Scene& s, const Pose& p) {
  Frame f{25 + p.bx, 24.5f + p.by, 15.5f * p.sx, 18.5f * p.sy};
  auto shear = [&](float x, float y) { return x + (y - 4) * p.lean; };
  float cx = shear(f.cx, f.cy);

  // Far foot and far arm sit behind the body.
  s.ellipse(p.farx, p.fary, 6.2f, 3.8f, 0, outline);
  s.ellipse(p.farx, p.fary + 0.3f, 5.0f, 2.7f, 0, scale(foot, 0.8f));
  float fax = cx - f.rx * 0.72f, fay = f.cy - f.ry * 0.1f;
  float fex = fax + std::sin(p.farreach) * p.armlen, fey = fay - std::cos(p.farreach) * p.armlen;
  s.capsule(fax, fay, fex, fey, 3.0f, outline);
  s.capsule(fax, fay, fex, fey, 1.9f, bodyshade);

  // The scarf's loose end flies behind, made of three segments that wave.
  float nx = cx - f.rx * 0.75f, ny = f.cy - f.ry * 0.35f;
  float ang = pi - p.tail;
  float px = nx, py = ny;
  for (int i = 0; i < 3; i++) {
    float a = ang + std::sin(p.wave + float(i) * 1.3f) * 0.35f * p.flutter;
    float len = 5.5f;
    float qx = px + std::cos(a) * len, qy = py + std::sin(a) * len;
    qx = std::max(qx, 2.5f);
    s.capsule(px, py, qx, qy, 3.0f - float(i) * 0.3f, outline);
    s.capsule(px, py, qx, qy, 2.1f - float(i) * 0.3f, i == 1 ? stripe : scarf);
    px = qx, py = qy;
  }

  // Body with an outline, a shaded back and a light belly.
  s.ellipse(cx, f.cy, f.rx + 1.3f, f.ry + 1.3f, -p.lean, outline);
  s.ellipse(cx, f.cy, f.rx, f.ry, -p.lean, bodyshade);
  s.ellipse(cx + 1.5f, f.cy + 1.2f, f.rx - 1.6f, f.ry - 1.5f, -p.lean, body);
  s.ellipse(cx + f.rx * 0.3f, f.cy - f.ry * 0.35f, f.rx * 0.55f, f.ry * 0.45f, -p.lean, belly);
  // A highlight on the crown.
  s.ellipse(cx - f.rx * 0.2f, f.cy + f.ry * 0.62f, f.rx * 0.35f, f.ry * 0.14f, -0.3f,
            mix(body, white, 0.45f));

  // The sprout on top.
  float tx = cx - 1 + p.lean * f.ry, ty = f.cy + f.ry;
  s.capsule(tx, ty - 1, tx - 1.5f, ty + 5, 1.6f, outline);
  s.capsule(tx, ty - 1, tx - 1.5f, ty + 5, 0.8f, leafdark);
  s.ellipse(tx - 4.5f, ty + 6.5f, 4.2f, 2.2f, 0.5f, outline);
  s.ellipse(tx - 4.5f, ty + 6.5f, 3.2f, 1.4f, 0.5f, leaf);
  s.ellipse(tx + 2.5f, ty + 6.0f, 3.4f, 1.9f, -0.6f, outline);
  s.ellipse(tx + 2.5f, ty + 6.0f, 2.5f, 1.1f, -0.6f, leaf);

  // Eyes: the near one large, the far one smaller, nearer the front edge.
  float ey = f.cy + f.ry * 0.25f;
  float open = std::max(0.12f, p.eye);
  float e1x = cx + f.rx * 0.22f, e2x = cx + f.rx * 0.72f;
  s.ellipse(e2x, ey, 3.3f, 4.6f * open + 0.5f, 0, outline);
  s.ellipse(e2x, ey, 2.5f, 3.8f * open, 0, white);
  s.ellipse(e1x, ey, 4.9f, 5.8f * open + 0.6f, 0, outline);
  s.ellipse(e1x, ey, 4.0f, 5.0f * open, 0, white);
  if (p.eye > 0.3f) {
    s.ellipse(e1x + 1.4f * p.lookx, ey + 1.2f * p.looky, 2.1f, 2.6f * open, 0, pupil);
    s.ellipse(e2x + 0.9f * p.lookx, ey + 1.2f * p.looky, 1.4f, 2.1f * open, 0, pupil);
    s.circle(e1x + 2.0f * p.lookx + 0.8f, ey + 1.2f * p.looky + 1.3f, 0.8f, white);
  }
  // Cheek.
  s.ellipse(e1x + 3.5f, ey - 5.5f, 2.2f, 1.2f, 0, mix(body, scarf, 0.45f));

  // The scarf wrapped round the neck, over the body.
  float wy = f.cy - f.ry * 0.42f;
  s.capsule(cx - f.rx * 0.85f, wy + 1.5f, cx + f.rx * 0.85f, wy - 1.0f, 3.6f, outline);
  s.capsule(cx - f.rx * 0.85f, wy + 1.5f, cx + f.rx * 0.85f, wy - 1.0f, 2.7f, scarf);
  s.capsule(cx - f.rx * 0.5f, wy + 0.0f, cx + f.rx * 0.6f, wy - 2.2f, 0.9f, scarfdark);
  s.capsule(cx - f.rx * 0.3f, wy + 2.8f, cx + f.rx * 0.5f, wy + 1.2f, 0.7f, stripe);

  // Near arm and near foot in front.
  float nax = cx + f.rx * 0.55f, nay = f.cy - f.ry * 0.42f;
  float nex = nax + std::sin(p.nearreach) * (p.armlen - 1.5f);
  float ney = nay - std::cos(p.nearreach) * (p.armlen - 1.5f);
  if (p.wall) nex = std::min(nex, 46.0f);
  s.capsule(nax, nay, nex, ney, 3.2f, outline);
  s.capsule(nax, nay, nex, ney, 2.1f, body);
  s.circle(nex, ney, 3.0f, outline);
  s.circle(nex, ney, 2.1f, mix(body, white, 0.2f));
  s.ellipse(p.nearx, p.neary, 7.3f, 4.3f, 0, outline);
  s.ellipse(p.nearx, p.neary + 0.3f, 6.1f, 3.2f, 0, foot);
  s.ellipse(p.nearx + 1.5f, p.neary + 1.5f, 2.2f, 0.8f, 0, mix(foot, white, 0.35f));
}

// A step of a walk or run cycle at phase a: feet swing stride either way and
// lift by lift, arms swing against them, the body bobs.
Pose stridepose(float a, float stride, float lift, float bob, float swing) {
  Pose p;
  p.nearx = 27 + stride * std::sin(a);
  p.neary = 3.5f + std::max(0.0f, lift * std::cos(a));
  p.farx = 24.5f - stride * std::sin(a);
  p.fary = 3.5f + std::max(0.0f, -lift * std::cos(a));
  p.by = bob * std::fabs(std::cos(a));
  p.nearreach = -swing * std::sin(a);
  p.farreach = swing * std::sin(a);
  return p;
}

Pose walkpose(int i) {
  float a = 2 * pi * float(i) / 5;
  Pose p = stridepose(a, 7, 3.5f, 1.2f, 0.7f);
  p.lean = 0.05f;
  p.tail = 0.15f;
  p.wave = a;
  return p;
}

Pose runpose(int i) {
  float a = 2 * pi * float(i) / 10;
  Pose p = stridepose(a, 11, 6, 2, 1.3f);
  p.by += 2.5f;
  p.lean = 0.2f;
  p.sx = 1.04f, p.sy = 0.97f;
  p.tail = 0.05f;
  p.wave = a * 2;
  p.flutter = 1.4f;
  p.eye = 0.85f;
  return p;
}

// Airborne by vertical speed: 0 rising fast, 1 rising slowly, 2 falling slowly,
// 3 falling fast.
Pose airpose(int k) {
  Pose p;
  p.by = 6;
  p.neary = 4, p.fary = 6;
  switch (k) {
    case 0:
      p.sy = 1.1f, p.sx = 0.93f;
      p.nearreach = 2.7f, p.farreach = -2.7f;
      p.nearx = 29, p.farx = 22, p.neary = 2, p.fary = 4;
      p.tail = -0.6f;
      break;
    case 1:
      p.nearreach = 2.1f, p.farreach = -1.5f;
      p.nearx = 31, p.farx = 21, p.neary = 5, p.fary = 7;
      p.tail = -0.25f;
      break;
    case 2:
      p.nearreach = 1.5f, p.farreach = -1.6f;
      p.nearx = 32, p.farx = 20, p.neary = 3, p.fary = 5;
      p.tail = 0.35f;
      p.eye = 0.9f;
      break;
    default:
      p.sy = 1.06f, p.sx = 0.95f;
      p.nearreach = 2.4f, p.farreach = -2.5f;
      p.nearx = 30, p.farx = 22, p.neary = 1.5f, p.fary = 2.5f;
      p.tail = 0.8f;
      p.looky = -1;
      break;
  }
  p.wave = float(k) * 1.7f;
  return p;
}

Pose framepose(int f) {
  if (f >= 0 && f <= 4) return walkpose(f);
  if (f >= 24 && f <= 33) return runpose(f - 24);
  Pose p;
  switch (f) {
    case 8:  // standing, breathing
      p.nearreach = 0.25f, p.farreach = -0.2f;
      p.flutter = 0.3f, p.tail = -0.35f;
      return p;
    case 9:  // looking up and about
      p.nearreach = 0.35f, p.farreach = -0.1f;
      p.lookx = 0.2f, p.looky = 1.0f;
      p.flutter = 0.3f, p.tail = -0.3f, p.wave = 1.5f;
      p.by = 0.6f;
      return p;
    case 10:  // drowsy: sunk down, eyes nearly shut
      p.sy = 0.93f, p.sx = 1.05f;
      p.nearreach = 0.1f, p.farreach = -0.1f;
      p.eye = 0.25f;
      p.flutter = 0.2f, p.tail = -0.5f;
      return p;
    case 11:  // sliding down a wall on the right, scarf streaming up
      p.bx = 2.5f, p.by = 4;
      p.wall = true;
      p.nearreach = 2.5f, p.farreach = -2.2f;
      p.nearx = 40, p.neary = 9, p.farx = 33, p.fary = 4;
      p.tail = 1.2f, p.flutter = 0.8f;
      p.eye = 0.6f, p.lookx = 1;
      return p;
    case 16:  // kicking off a wall behind, to the right
      p.lean = 0.22f, p.by = 5;
      p.nearx = 14, p.neary = 12, p.farx = 9, p.fary = 7;
      p.nearreach = 2.0f, p.farreach = -1.9f;
      p.tail = -0.2f, p.flutter = 1.3f;
      return p;
    case 40:  // crouched to take off
      p.sy = 0.84f, p.sx = 1.1f;
      p.by = -2.5f;
      p.nearreach = -0.6f, p.farreach = -0.9f;
      p.tail = 0.0f;
      return p;
    case 41:  // stretching off the ground
      p.sy = 1.12f, p.sx = 0.92f;
      p.by = 4;
      p.nearx = 29, p.neary = 2, p.farx = 24, p.fary = 1.5f;
      p.nearreach = 2.6f, p.farreach = -2.4f;
      p.tail = -0.7f;
      return p;
    default:
      break;
  }
  if (f >= 42 && f <= 45) return airpose(f - 42);
  if (f >= 17 && f <= 20) {
    // The wall jump's own airborne frames: as the plain ones, leaning into the leap.
    Pose q = airpose(f - 17);
    q.lean = 0.12f;
    q.flutter = 1.4f;
    return q;
  }
  return p;
}

}  // namespace

Image drawspritesheet() {
  Image sheet(512, 512);
  const int frames[] = {0,  1,  2,  3,  4,  8,  9,  10, 11, 16, 17, 18, 19, 20, 24, 25, 26,
                        27, 28, 29, 30, 31, 32, 33, 40, 41, 42, 43, 44, 45};
  for (int f : frames) {
    Scene s;
    drawhero(s, framepose(f));
    // One design unit is 1.25 texels across (the cell is shown 48 wide) and
    // one texel down.
    s.render(sheet, (f % 8) * 60, (f / 8) * 60, 60, 60, 1.25f, 1.0f, 4);
  }
  return sheet;
}

Image drawviewmaster() {
  Image img(32, 32);
  Scene s;
  const Colour dark = hexcolour(0x2a1418);
  const Colour red = hexcolour(0xd83a3a);
  const Colour redlight = hexcolour(0xf07a6a);
  // A card peeking out of the slot on top.
  s.roundbox(10, 20, 22, 29, 1.5f, dark);
  s.roundbox(11, 21, 21, 28, 1.0f, hexcolour(0xf4f1e6));
  s.circle(16, 26.5f, 1.2f, hexcolour(0x4a90d9));
  // The viewer's body and its two eyepieces.
  s.roundbox(2, 7, 30, 23, 6, dark);
  s.roundbox(3.2f, 8.2f, 28.8f, 21.8f, 5, red);
  s.roundbox(5, 17, 27, 21, 2, redlight);
  for (float x : {9.5f, 22.5f}) {
    s.circle(x, 13, 5.0f, dark);
    s.circle(x, 13, 3.8f, hexcolour(0x25435e));
    s.circle(x, 13, 2.4f, hexcolour(0x5fb4e8));
    s.circle(x - 1.2f, 14.2f, 1.0f, hexcolour(0xffffff));
  }
  // The lever on the side.
  s.capsule(29, 16, 31, 24, 1.6f, dark);
  s.capsule(29, 16, 31, 24, 0.8f, hexcolour(0xf2c14e));
  // The stand below.
  s.roundbox(13, 2, 19, 8, 1.5f, dark);
  s.roundbox(14, 3, 18, 8, 1, hexcolour(0x8a2a2a));
  s.render(img, 0, 0, 32, 32, 1, 1, 4);
  return img;
}

Image drawcard() {
  Image img(32, 32);
  Scene s;
  const Colour dark = hexcolour(0x2b2b3a);
  s.circle(16, 16, 14.5f, dark);
  s.circle(16, 16, 13.3f, hexcolour(0xf6f3e8));
  s.circle(16, 16, 5.5f, hexcolour(0xe4ddc8));
  // Seven little pictures round the reel.
  const uint32_t tints[] = {0xe0483e, 0x4a90d9, 0x7bc043, 0xf2c14e, 0x9b6bd6, 0x3fa7b5, 0xf28c38};
  for (int i = 0; i < 7; i++) {
    float a = 2 * pi * float(i) / 7 + 0.3f;
    float x = 16 + std::cos(a) * 9.2f, y = 16 + std::sin(a) * 9.2f;
    s.roundbox(x - 2.6f, y - 2.6f, x + 2.6f, y + 2.6f, 0.8f, dark);
    s.roundbox(x - 1.9f, y - 1.9f, x + 1.9f, y + 1.9f, 0.5f, hexcolour(tints[i]));
  }
  // The hole in the middle shows what is behind.
  s.circle(16, 16, 2.6f, dark);
  s.circle(16, 16, 1.7f, dark, 0);
  s.render(img, 0, 0, 32, 32, 1, 1, 4);
  return img;
}
