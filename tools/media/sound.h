// Sound: the WAV output, the synthesis voices shared by the effects and the music,
// the effects themselves and the score-driven music renderer.
#pragma once
#include <string>
#include <vector>

const int samplerate = 44100;  // Hz, the game's only output rate

// Writes 16-bit PCM: a 44-byte header (RIFF, a 16-byte fmt chunk, data) and the
// samples, interleaved when channels is 2. False (with a message) on failure.
bool write_wav(const std::string& path, const std::vector<short>& samples, int channels);

// Scales float samples so that the loudest is `peak` and rounds them to 16 bits.
std::vector<short> to_pcm(const std::vector<float>& samples, float peak);

// Writes the nine sound effects into dir.
bool make_effects(const std::string& dir);

// A parsed score (see the music sources for the format).
struct Voice {
  std::string name;
  std::string wave;        // sine, triangle, square, saw, kick, snare, hat
  float attack = 0.005f;   // seconds
  float decay = 0.1f;      // seconds from peak to the sustain level
  float sustain = 0.7f;    // level while held, 0 to 1
  float release = 0.1f;    // seconds to silence after the note ends
  float volume = 0.5f;     // 0 to 1
  float pan = 0;           // -1 left to 1 right
  float cutoff = 0;        // low-pass corner in Hz, 0 for none
  float detune = 0;        // cents of a second, detuned oscillator; 0 for one oscillator
};

struct Lane {
  int voice;                        // index into Score::voices
  std::vector<std::string> tokens;  // one per step: a note, "-" hold, "." rest, "x"/"X" drum hit
};

struct Pattern {
  std::string name;
  int length;  // steps
  std::vector<Lane> lanes;
};

struct Score {
  float tempo = 120;  // beats per minute
  int steps = 4;      // steps per beat
  float echotime = 0, echofeedback = 0, echomix = 0;  // beats, 0 to 1, 0 to 1
  float peak = 16000;
  std::vector<Voice> voices;
  std::vector<Pattern> patterns;
  std::vector<int> song;  // pattern indices in playing order
};

// Parses a score; on a bad line returns false with error "FILE:LINE: what is wrong".
bool parse_score(const std::string& text, const std::string& filename, Score& score, std::string& error);

// Frames per step: the tempo's step length rounded to whole 32-frame blocks, so the
// piece ends on a block boundary and loops cleanly in the music format.
int frames_per_step(const Score& score);

// Renders the score as interleaved stereo floats; the piece is exactly
// song length × frames_per_step frames and loops: what rings on past its end
// is folded back onto its start.
std::vector<float> render_score(const Score& score);

// Note name ("C4", "F#3", "Bb2") to Hz; 0 when it is not a note.
float note_frequency(const std::string& name);
