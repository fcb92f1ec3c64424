/* A consumer of the installed library: lists the cameras the driver finds, one name per line.
 * Usage: list_cameras HOST_DIR. Exits non-zero when the driver fails or finds no camera. */
#include <stdio.h>

#include <ostravelk/ostravelk.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: list_cameras HOST_DIR\n", stderr);
        return 2;
    }
    if (!initialize(argv[1], NULL)) {
        fputs("list_cameras: initialize failed\n", stderr);
        return 1;
    }
    const int count = getCVLNoOfSupportedCameras();
    const char** names = getCVLCameraConfigNames();
    int listed = 0;
    for (; names && names[listed]; ++listed) {
        puts(names[listed]);
    }
    finalize();
    if (listed != count || count == 0) {
        fprintf(stderr, "list_cameras: %d camera(s) reported, %d listed\n", count, listed);
        return 1;
    }
    return 0;
}
