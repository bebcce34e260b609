// Menu: the title screen with four buttons and a drawn pointer, and the
// full-screen cutscene pages.
#pragma once

class GraphicsLayer;

class Menu {
 public:
  GraphicsLayer* title;       // "orvik_menu"; owned
  GraphicsLayer* arrow;       // "ar", the pointer; owned
  GraphicsLayer* b1;          // new game, at (600, 600); owned
  GraphicsLayer* b2;          // quit, at (600, 300); owned
  GraphicsLayer* b4;          // credits, at (600, 400); owned
  GraphicsLayer* b3;          // resume, at (600, 500); owned
  GraphicsLayer* highlight;   // "bhl", under the button the pointer is over; owned
  GraphicsLayer* intro1;      // introduction pages and the mid-game page (intro5); owned
  GraphicsLayer* intro2;
  GraphicsLayer* intro3;
  GraphicsLayer* intro4;
  GraphicsLayer* intro5;
  GraphicsLayer* end1;        // ending pages; owned
  GraphicsLayer* end2;
  GraphicsLayer* credits;     // owned
  int page;                   // 0 title screen, 1..8 a full-screen page
  int cursorx, cursory;       // pointer, screen pixels, origin lower left, y up

  // With pictures false no picture is loaded and render draws nothing
  // (tests drive the page logic without a screen).
  explicit Menu(bool pictures = true);
  ~Menu();
  Menu(const Menu&) = delete;
  Menu& operator=(const Menu&) = delete;

  void setcursor(int x, int y);  // window pixels, origin top left
  bool hitbutton(int x, int y);
  void button(GraphicsLayer* picture, int x, int y);
  void render();
  int clickcommand();            // 0 nothing, 1 new game, 2 resume, 3 quit
  void startcutscene(int state);
  // Where a player points to click a title button: the middle of the button
  // that answers command (1 new game, 2 resume, 3 quit; 0 credits), in
  // window pixels, origin top left, as mouse events carry them.
  static void buttoncentre(int command, int* x, int* y);
};
