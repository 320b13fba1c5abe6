// combinaciones: lists every combination of six numbers from 1 to n on a text screen.
#include "lister/lister.h"
#include "screen/display.h"
#include "screen/platform/sdl_platform.h"

int main() {
  screen::usePlatform(screen::makeSdlPlatform);
  screen::endProgram(lister::runLister());
}
