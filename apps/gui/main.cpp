// plumora-browser: the desktop application.
#include "shell/start/plumora_application.h"

int main(int argc, char** argv) {
  return plb::shell::RunPlumoraBrowser(argc, argv);
}
