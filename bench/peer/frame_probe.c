/* Waits until a few points of an X screen show given colours and prints when (CLOCK_MONOTONIC
 * seconds, the clock of Python's time.monotonic()). One connection, 1x1 reads every
 * millisecond: a far finer and lighter watch than a whole-screen dump a poll.
 *   frame_probe DISPLAY TIMEOUT_MS X,Y,R,G,B...
 * Prints "ready" once connected, then the time, or "timeout". */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static int shift_of(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

static int sample(Display* d, Window root, int x, int y, int rgb[3]) {
    XImage* image = XGetImage(d, root, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return 0;
    unsigned long p = XGetPixel(image, 0, 0);
    rgb[0] = (int)((p & image->red_mask) >> shift_of(image->red_mask));
    rgb[1] = (int)((p & image->green_mask) >> shift_of(image->green_mask));
    rgb[2] = (int)((p & image->blue_mask) >> shift_of(image->blue_mask));
    XDestroyImage(image);
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: %s DISPLAY TIMEOUT_MS X,Y,R,G,B...\n", argv[0]);
        return 2;
    }
    Display* d = XOpenDisplay(argv[1]);
    if (!d) {
        fprintf(stderr, "frame_probe: cannot open display %s\n", argv[1]);
        return 1;
    }
    Window root = DefaultRootWindow(d);
    int n = argc - 3;
    int (*points)[5] = calloc((size_t)n, sizeof *points);
    for (int i = 0; i < n; ++i)
        if (sscanf(argv[3 + i], "%d,%d,%d,%d,%d", &points[i][0], &points[i][1], &points[i][2], &points[i][3],
                   &points[i][4]) != 5)
            return 2;
    const double deadline = now() + atof(argv[2]) / 1000.0;
    printf("ready\n");
    fflush(stdout);
    const struct timespec pause = {0, 1000000};
    while (now() < deadline) {
        int all = 1;
        for (int i = 0; i < n && all; ++i) {
            int rgb[3];
            if (!sample(d, root, points[i][0], points[i][1], rgb)) {
                all = 0;
                break;
            }
            for (int c = 0; c < 3; ++c)
                if (abs(rgb[c] - points[i][2 + c]) > 3) all = 0;
        }
        if (all) {
            printf("%.6f\n", now());
            return 0;
        }
        nanosleep(&pause, NULL);
    }
    printf("timeout\n");
    return 1;
}
