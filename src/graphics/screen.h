// The screen the game draws on, in window pixels: one level pixel each.
#pragma once

constexpr int screenwidth = 1024;
constexpr int screenheight = 768;
