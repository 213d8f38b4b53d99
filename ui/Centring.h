#pragma once
// Where a window of the given outer size goes to be centred on a screen: each coordinate is
// the integer half of the spare room, and never negative, so a window larger than the screen
// keeps its title bar reachable at the top-left corner.

struct WindowOrigin {
  int left;
  int top;
};

inline WindowOrigin CentredOrigin(int screenWidth, int screenHeight, int width, int height) {
  const int left = (screenWidth - width) / 2;
  const int top = (screenHeight - height) / 2;
  return {left < 0 ? 0 : left, top < 0 ? 0 : top};
}
