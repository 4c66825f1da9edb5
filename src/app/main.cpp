// tidemark-gui: the desktop application.
#include "app/application.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  TFGUI window;
  window.FormCreate();
  window.show();
  return app.exec();
}
