// Shows the about box once and returns when it is closed: for looking at it, and for its screenshots.
#include "about/about_box.h"

int main() {
  qtv::about::ShowAboutBox();
  return 0;
}
