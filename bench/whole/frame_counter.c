// Counts the frames a window shows, through the X damage extension, for the
// whole-program benchmark.
//
//   frame_counter <window id> <seconds> [<gap ms>]
//
// Listens to every damage rectangle the server reports for the window during
// <seconds> and coalesces them into frames: rectangles that follow each
// other within <gap ms> (default 4) belong to the same frame, as a program
// draws one frame in one burst. Prints "frames=F rectangles=R seconds=S".
// The same count serves any program, whatever it draws with.
//
// Exit status: 0 on success, 1 when the display, the extension or the window
// is missing, 2 on bad usage.
#define _POSIX_C_SOURCE 200809L

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/select.h>
#include <time.h>

static int g_x_error = 0;

static int OnXError(Display* display, XErrorEvent* error) {
  char text[256];
  XGetErrorText(display, error->error_code, text, sizeof text);
  fprintf(stderr, "frame_counter: X error: %s\n", text);
  g_x_error = 1;
  return 0;
}

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    fprintf(stderr, "usage: frame_counter <window id> <seconds> [<gap ms>]\n");
    return 2;
  }
  char* end = NULL;
  const unsigned long id = strtoul(argv[1], &end, 0);
  if (end == argv[1] || *end != '\0' || id == 0) {
    fprintf(stderr, "frame_counter: '%s' is not a window id\n", argv[1]);
    return 2;
  }
  const double seconds = strtod(argv[2], &end);
  if (end == argv[2] || *end != '\0' || !(seconds > 0)) {
    fprintf(stderr, "frame_counter: '%s' is not a duration\n", argv[2]);
    return 2;
  }
  double gap_ms = 4;
  if (argc == 4) {
    gap_ms = strtod(argv[3], &end);
    if (end == argv[3] || *end != '\0' || !(gap_ms >= 0)) {
      fprintf(stderr, "frame_counter: '%s' is not a gap\n", argv[3]);
      return 2;
    }
  }

  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "frame_counter: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(OnXError);
  int event_base = 0, error_base = 0;
  if (!XDamageQueryExtension(display, &event_base, &error_base)) {
    fprintf(stderr, "frame_counter: the X server has no damage extension\n");
    return 1;
  }
  const Damage damage = XDamageCreate(display, (Window)id, XDamageReportRawRectangles);
  XSync(display, False);
  if (g_x_error) {
    fprintf(stderr, "frame_counter: cannot watch window 0x%lx\n", id);
    return 1;
  }

  long frames = 0, rectangles = 0;
  double last = -1e9;
  const double start = Now();
  const double stop = start + seconds;
  const int fd = ConnectionNumber(display);
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type != event_base + XDamageNotify)
        continue;
      const double t = Now();
      if (t >= stop)
        break;
      ++rectangles;
      if ((t - last) * 1000.0 > gap_ms)
        ++frames;
      last = t;
    }
    const double left = stop - Now();
    if (left <= 0)
      break;
    fd_set read_set;
    FD_ZERO(&read_set);
    FD_SET(fd, &read_set);
    struct timeval timeout = {(time_t)left, (suseconds_t)((left - (double)(time_t)left) * 1e6)};
    select(fd + 1, &read_set, NULL, NULL, &timeout);
  }
  XDamageDestroy(display, damage);
  XCloseDisplay(display);
  if (g_x_error)
    return 1;
  printf("frames=%ld rectangles=%ld seconds=%.3f\n", frames, rectangles, seconds);
  return 0;
}
