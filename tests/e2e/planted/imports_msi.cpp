// Control for the planted-DLL test: a program that imports msi.dll the
// ordinary way, which does load a planted copy beside it.
#include <windows.h>
#include <msi.h>

int main() {
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    return 0;
}
