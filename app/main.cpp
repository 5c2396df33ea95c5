// drel: the executable is the application object and the framework's main.

#include "app/CDrelApp.h"
#include "framework/Resources.h"
#include "resources/AppResources.h"

namespace {

drel::CDrelApp theApp;

}  // namespace

int main(int argc, char** argv) {
    drel::AfxSetResources(drel::AppResources());
    return drel::AfxWinMain(argc, argv);
}
