// World snapshots against the world's own bytes: after a run through every
// kind of event, restore puts back every byte of the World that the run
// changed, and the part of the state a search takes from its root is at rest
// between moves.
#include <algorithm>
#include <functional>
#include <vector>

#include "herolevel.h"
#include "kit/replay.h"
#include "kit/snapshot.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Every byte of the World object itself; what it points to is not included.
Bytes worldbytes(const World& w) {
  const auto* p = reinterpret_cast<const unsigned char*>(&w);
  return Bytes(p, p + sizeof(World));
}

// The bytes of the state past the hero's part, keys let go: what a search
// takes from its root instead of saving per state.
Bytes restbytes(World& w) {
  const int32_t left = w.keyleft, right = w.keyright;
  w.setkeys(0, 0);
  const auto* p = reinterpret_cast<const unsigned char*>(static_cast<const WorldState*>(&w));
  Bytes b(p + sizeof(HeroState), p + sizeof(WorldState));
  w.setkeys(left, right);
  return b;
}

// The offset of the first byte where a and b differ, -1 where none does.
long firstdifference(const Bytes& a, const Bytes& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); i++)
    if (a[i] != b[i]) return static_cast<long>(i);
  return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

}  // namespace

class Snapshot : public HeroLevel {
 protected:
  // A floor with a card, a viewmaster card and a flag on the way right, a
  // tall wall, a slippery block, spikes and the end further on; fewer than
  // 32 items, so the late pickups never hold anything.
  void course() {
    ground();
    item(640, 260, 672, 292, kind_shift);
    item(760, 260, 792, 292, kind_viewmaster);
    item(900, 250, 964, 314, kind_checkpoint);
    solid(new Box(2000, 250, 2020, 1000));
    solid(new Box(2500, 250, 2600, 300, false, false, true));
    item(3000, 250, 3100, 260, kind_spikes);
    item(3500, 250, 3540, 290, kind_end);
  }

  // Steps as the shell does, polling the state after each; then calls after.
  void play(int n, const std::function<void()>& after) {
    for (int i = 0; i < n; i++) {
      w.step();
      w.getState();
      after();
    }
  }

  // Walking, running and a jump past the pickups and the flag; a shift; a
  // wall slide and a wall jump; a slippery landing; a death on the spikes;
  // the end touched and the level finished. after runs after every step and
  // the shift.
  void run(const std::function<void()>& after) {
    w.setkeys(0, 1);
    play(80, after);
    ASSERT_EQ(w.itemmask, 3u);
    const int32_t flagx = w.checkx;  // where the hero last touched the flag
    ASSERT_GE(flagx, 900 - herowidth);
    ASSERT_TRUE(w.stepmemory.running);
    w.setjump(1);
    play(1, after);
    w.setjump(0);
    play(10, after);
    ASSERT_NE(w.vy, 0);
    ASSERT_TRUE(playershift(w, -8, 0));
    after();
    // Falling against the wall's left face, then jumping off it.
    w.x = 1951;
    w.y = 400;
    w.vy = -1;
    play(5, after);
    ASSERT_EQ(w.animstart, 11);
    w.setjump(1);
    play(1, after);
    w.setjump(0);
    ASSERT_EQ(w.vx, -5);
    play(10, after);
    // Dropped onto the slippery block with the keys let go.
    w.setkeys(0, 0);
    w.x = 2520;
    w.y = 302;
    w.vy = -1;
    play(3, after);
    ASSERT_EQ(w.canshift, 0);
    w.x = 3020;
    w.y = 250;
    play(1, after);
    ASSERT_EQ(w.x, flagx);  // back at the flag
    ASSERT_EQ(w.fade, -31);
    play(2, after);
    // Standing on the end: the fade in finishes, then the end's fade.
    w.x = 3500;
    w.y = 250;
    w.vx = 0;
    play(70, after);
    ASSERT_EQ(w.getState(), 1);
  }
};

TEST_F(Snapshot, RestorePutsBackEveryByteOfTheWorld) {
  course();
  w.setkeys(1, 0);
  w.step();
  WorldSnapshot s;
  snapshot(w, s);
  const Bytes before = worldbytes(w);
  const std::vector<int32_t> kinds = [&] {
    std::vector<int32_t> k;
    for (const Box* b : w.items) k.push_back(b->kind);
    return k;
  }();
  run([] {});
  w.camx = 1234;
  w.camy = -5;
  ASSERT_NE(firstdifference(worldbytes(w), before), -1);
  restore(w, s);
  // A field a run can change and a snapshot does not save differs here: the
  // offset is where it sits in World.
  EXPECT_EQ(firstdifference(worldbytes(w), before), -1);
  for (size_t i = 0; i < kinds.size(); i++) EXPECT_EQ(w.items[i]->kind, kinds[i]) << i;
}

TEST_F(Snapshot, TheStatePastTheHerosPartIsAtRestBetweenMoves) {
  course();
  const Bytes root = restbytes(w);
  int checks = 0, first = -1;
  long offset = -1;  // past the hero's part of the state
  run([&] {
    if (first < 0) offset = firstdifference(restbytes(w), root);
    if (first < 0 && offset >= 0) first = checks;
    checks++;
  });
  EXPECT_EQ(checks, 184);
  // A field that a move leaves changed belongs in HeroState.
  EXPECT_EQ(first, -1) << "at byte " << offset;
}
