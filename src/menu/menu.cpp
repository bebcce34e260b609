// STUB: replaced by the menu.
#include "menu/menu.h"
Menu::Menu(bool) : page(0), cursorx(300), cursory(200) {}
Menu::~Menu() {}
void Menu::setcursor(int x, int y) { cursorx = x; cursory = 768 - y; }
bool Menu::hitbutton(int, int) { return false; }
void Menu::button(GraphicsLayer*, int, int) {}
void Menu::render() {}
int Menu::clickcommand() { return 1; }
void Menu::startcutscene(int) {}
