// A static site that plays a level pack from a link: the browser build's
// page, engine and data, with the pack beside them as the page's levels.
#pragma once
#include <string>
#include <vector>

// Writes into out (made when missing; refused when it holds anything but a
// site written before) the page's files of webbuild (the folder make web
// fills), the pack under its own file name, and the page opening that pack
// at start. The pack is checked first as twinfold-pack --check does: its
// replays must finish its levels. False with one refusal a line.
bool writepacksite(const std::string& pack, const std::string& webbuild, const std::string& out,
                   std::vector<std::string>& refusals);
