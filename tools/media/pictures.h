// The menu's pictures: the title screen, pointer, buttons, highlight and the
// full-screen pages set from the text sources.
#pragma once
#include <string>
#include <vector>

struct KeyLine {
  std::vector<std::string> caps;  // key cap labels, underscores already turned to spaces
  std::string text;               // what the keys do
};

struct PageItem {
  bool iskey;         // a key line, else a paragraph
  std::string text;   // paragraph text (iskey false)
  KeyLine key;        // iskey true
};

struct Page {
  std::string name;    // file name without ".png"
  std::string scene;   // illustration under the text
  std::string title;
  std::string footer;
  std::vector<PageItem> items;
};

// Parses a page source. On a bad line returns false and sets error to
// "FILE:LINE: what is wrong".
bool parse_pages(const std::string& text, const std::string& filename, std::vector<Page>& pages,
                 std::string& error);

// Writes every menu picture into outdir; the page sources are read from datadir.
// Returns false after printing a message on failure.
bool make_pictures(const std::string& datadir, const std::string& outdir);
