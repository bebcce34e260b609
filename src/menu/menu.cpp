// Menu: the title screen with four buttons and a drawn pointer, and the
// full-screen pages of the introduction, mid-game page, ending and credits.
#include "menu/menu.h"

#include <GL/gl.h>

#include "graphics/glayer.h"
#include "graphics/screen.h"
#include "world/world.h"

namespace {
constexpr int buttonwidth = 256;        // hit rectangle of a button, from its drawing position
constexpr int buttonheight = 64;
constexpr int buttonx = 600;            // every button's left edge
constexpr int newgamey = 600;           // b1
constexpr int resumey = 500;            // b3
constexpr int creditsy = 400;           // b4
constexpr int quity = 300;              // b2
constexpr int arrowdrop = 32;           // the pointer picture hangs below the pointer

// Full-screen pages: PNG without alpha picture. Buttons and pointer: BMP with one.
GraphicsLayer* page_picture(const char* name) { return new GraphicsLayer(name, false, true); }
GraphicsLayer* alpha_picture(const char* name) { return new GraphicsLayer(name, true); }
}  // namespace

Menu::Menu(bool pictures)
    : title(nullptr), arrow(nullptr), b1(nullptr), b2(nullptr), b4(nullptr), b3(nullptr),
      highlight(nullptr), intro1(nullptr), intro2(nullptr), intro3(nullptr), intro4(nullptr),
      intro5(nullptr), end1(nullptr), end2(nullptr), credits(nullptr), page(0), cursorx(300),
      cursory(200) {
  if (!pictures) return;
  // The fifteen pictures, in the order the files are read.
  title = page_picture("orvik_menu");
  arrow = alpha_picture("ar");
  b1 = alpha_picture("b1");
  b2 = alpha_picture("b2");
  b3 = alpha_picture("b3");
  b4 = alpha_picture("b4");
  credits = page_picture("credits");
  highlight = alpha_picture("bhl");
  intro1 = page_picture("orvik_intro01");
  intro2 = page_picture("orvik_intro02");
  intro3 = page_picture("orvik_intro03");
  intro4 = page_picture("orvik_intro04");
  intro5 = page_picture("orvik_intro05");
  end1 = page_picture("orvik_end01");
  end2 = page_picture("orvik_end02");
}

Menu::~Menu() {
  delete end2;
  delete end1;
  delete intro5;
  delete intro4;
  delete intro3;
  delete intro2;
  delete intro1;
  delete highlight;
  delete credits;
  delete b4;
  delete b3;
  delete b2;
  delete b1;
  delete arrow;
  delete title;
}

void Menu::setcursor(int x, int y) {
  cursorx = x;
  cursory = screenheight - y;
}

// Strictly inside: a pointer on the edge touches no button.
bool Menu::hitbutton(int x, int y) {
  return x < cursorx && cursorx < x + buttonwidth && y < cursory && cursory < y + buttonheight;
}

void Menu::button(GraphicsLayer* picture, int x, int y) {
  if (hitbutton(x, y) && highlight) highlight->render(x, y, 1.0f);
  if (picture) picture->render(x, y, 1.0f);
}

void Menu::render() {
  if (!title) return;  // a menu built without pictures draws nothing, not even GL state
  // 1. The unit square fills the screen.
  glLoadIdentity();
  glTranslatef(-1, -1, 0);
  glScalef(2, 2, 1);
  GraphicsLayer* pages[] = {nullptr, intro1, intro2, intro3, intro4, intro5, end1, end2, credits};
  if (page != 0) {
    // 3. A full-screen page and nothing else.
    if (page >= 1 && page <= 8 && pages[page]) pages[page]->render(0, 0, 1.0f);
    return;
  }
  // 2. Title, buttons top to bottom, pointer last so it lies on top.
  if (title) title->render(0, 0, 1.0f);
  button(b1, buttonx, newgamey);
  button(b3, buttonx, resumey);
  button(b4, buttonx, creditsy);
  button(b2, buttonx, quity);
  if (arrow) arrow->render(cursorx, cursory - arrowdrop, 1.0f);
}

int Menu::clickcommand() {
  switch (page) {
    case 0:
      if (hitbutton(buttonx, newgamey)) page = 1;  // the introduction starts
      if (hitbutton(buttonx, resumey)) return 2;
      if (hitbutton(buttonx, creditsy)) page = 8;
      if (hitbutton(buttonx, quity)) return 3;
      return 0;
    case 1:
    case 2:
    case 3:
      page++;
      return 0;
    case 4:  // the last introduction page starts the game
      page = 0;
      return 1;
    case 5:  // the mid-game page resumes the world
      page = 0;
      return 2;
    case 6:
      page = 7;
      return 0;
    default:  // end2, credits, and any stray value back to the title
      page = 0;
      return 0;
  }
}

void Menu::buttoncentre(int command, int* x, int* y) {
  const int bottoms[] = {creditsy, newgamey, resumey, quity};
  const int bottom = command >= 1 && command <= 3 ? bottoms[command] : creditsy;
  *x = buttonx + buttonwidth / 2;
  *y = screenheight - (bottom + buttonheight / 2);
}

void Menu::startcutscene(int state) { page = state == state_finished ? 6 : 5; }
