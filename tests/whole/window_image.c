// Takes a top-level window's picture from the X server and measures it, for
// the whole-program test.
//
//   window_image grab <window id> <client width> <client height> <out.ppm>
//     Saves the window's client area as a binary PPM. The client area is the
//     window's bottom-left <client width> x <client height> rectangle: the
//     menu bar, when there is one, lies above it inside the same window.
//   window_image traces <a.ppm> <b.ppm> <x> <y> <width> <height>
//     In the rectangle of both pictures, prints how many rows of picture a
//     hold a red pixel and how many a lime one, and how many pixels differ
//     between the two pictures: "red_rows=R lime_rows=L changed=C".
//   window_image marks <a.ppm> <x> <y> <width> <height>
//     Prints how many pixels of the rectangle differ from the most common
//     colour of their row ("marks=N"): text drawn on a face that is plain
//     or shaded from top to bottom shows up there.
//
// Exit status: 0 on success, 1 when the window or a file cannot be read or a
// rectangle lies outside the picture, 2 on bad usage.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
  int width, height;
  unsigned char* rgb;  // width * height * 3 bytes, rows top down
} Picture;

static int g_x_error = 0;

static int OnXError(Display* display, XErrorEvent* error) {
  char text[256];
  XGetErrorText(display, error->error_code, text, sizeof text);
  fprintf(stderr, "window_image: X error: %s\n", text);
  g_x_error = 1;
  return 0;
}

static int ParseInt(const char* text, long min, long* out) {
  char* end = NULL;
  const long value = strtol(text, &end, 0);
  if (end == text || *end != '\0' || value < min)
    return 0;
  *out = value;
  return 1;
}

// The colour of one pixel of an image in the server's TrueColor layout.
static void PixelRgb(XImage* image, int x, int y, unsigned char* rgb) {
  const unsigned long pixel = XGetPixel(image, x, y);
  const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
  for (int c = 0; c < 3; ++c) {
    unsigned long mask = masks[c];
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
      mask >>= 1;
      ++shift;
    }
    unsigned long value = (pixel >> shift) & mask;
    // Scale a channel narrower than 8 bits up to 0..255.
    rgb[c] = mask == 0 ? 0 : (unsigned char)(value * 255 / mask);
  }
}

static int Grab(const char* id_text, long client_w, long client_h, const char* out_path) {
  char* end = NULL;
  const unsigned long id = strtoul(id_text, &end, 0);
  if (end == id_text || *end != '\0' || id == 0) {
    fprintf(stderr, "window_image: '%s' is not a window id\n", id_text);
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "window_image: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(OnXError);
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, (Window)id, &attributes) || g_x_error) {
    fprintf(stderr, "window_image: no window 0x%lx\n", id);
    XCloseDisplay(display);
    return 1;
  }
  if (attributes.width < client_w || attributes.height < client_h) {
    fprintf(stderr, "window_image: window is %dx%d, smaller than its client area %ldx%ld\n",
            attributes.width, attributes.height, client_w, client_h);
    XCloseDisplay(display);
    return 1;
  }
  const int top = attributes.height - (int)client_h;
  XImage* image = XGetImage(display, (Window)id, 0, top, (unsigned)client_w, (unsigned)client_h,
                            AllPlanes, ZPixmap);
  XSync(display, False);
  if (image == NULL || g_x_error) {
    fprintf(stderr, "window_image: cannot read the picture of window 0x%lx\n", id);
    XCloseDisplay(display);
    return 1;
  }
  FILE* out = fopen(out_path, "wb");
  if (out == NULL) {
    perror(out_path);
    XDestroyImage(image);
    XCloseDisplay(display);
    return 1;
  }
  fprintf(out, "P6\n%ld %ld\n255\n", client_w, client_h);
  for (int y = 0; y < client_h; ++y) {
    for (int x = 0; x < client_w; ++x) {
      unsigned char rgb[3];
      PixelRgb(image, x, y, rgb);
      fwrite(rgb, 1, 3, out);
    }
  }
  const int failed = ferror(out) != 0;
  if (fclose(out) != 0 || failed) {
    perror(out_path);
    XDestroyImage(image);
    XCloseDisplay(display);
    return 1;
  }
  XDestroyImage(image);
  XCloseDisplay(display);
  return 0;
}

// Reads a binary PPM with a maximum of 255 as Grab writes it (no comments).
static int ReadPicture(const char* path, Picture* picture) {
  FILE* in = fopen(path, "rb");
  if (in == NULL) {
    perror(path);
    return 0;
  }
  int max = 0;
  if (fscanf(in, "P6 %d %d %d", &picture->width, &picture->height, &max) != 3 || max != 255 ||
      picture->width <= 0 || picture->height <= 0 || fgetc(in) == EOF) {
    fprintf(stderr, "window_image: %s is not a picture of ours\n", path);
    fclose(in);
    return 0;
  }
  const size_t bytes = (size_t)picture->width * (size_t)picture->height * 3;
  picture->rgb = malloc(bytes);
  if (picture->rgb == NULL || fread(picture->rgb, 1, bytes, in) != bytes) {
    fprintf(stderr, "window_image: %s is cut short\n", path);
    free(picture->rgb);
    fclose(in);
    return 0;
  }
  fclose(in);
  return 1;
}

static const unsigned char* At(const Picture* picture, long x, long y) {
  return picture->rgb + ((size_t)y * (size_t)picture->width + (size_t)x) * 3;
}

// Reads the rectangle arguments and checks that the rectangle fits.
static int ReadRect(char** args, const Picture* picture, long rect[4]) {
  for (int i = 0; i < 4; ++i) {
    if (!ParseInt(args[i], i < 2 ? 0 : 1, &rect[i])) {
      fprintf(stderr, "window_image: '%s' is not a rectangle coordinate\n", args[i]);
      return 0;
    }
  }
  if (rect[0] + rect[2] > picture->width || rect[1] + rect[3] > picture->height) {
    fprintf(stderr, "window_image: the rectangle lies outside the %dx%d picture\n", picture->width,
            picture->height);
    return 0;
  }
  return 1;
}

// The trace colours: pure red (channel 0) and lime (channel 1), with a little
// room for a server that rounds.
static int IsRed(const unsigned char* p) {
  return p[0] >= 224 && p[1] <= 32 && p[2] <= 32;
}
static int IsLime(const unsigned char* p) {
  return p[1] >= 224 && p[0] <= 32 && p[2] <= 32;
}

static int Traces(const char* a_path, const char* b_path, char** rect_args) {
  Picture a = {0}, b = {0};
  long rect[4];
  if (!ReadPicture(a_path, &a) || !ReadPicture(b_path, &b))
    return 1;
  if (a.width != b.width || a.height != b.height) {
    fprintf(stderr, "window_image: the two pictures differ in size\n");
    return 1;
  }
  if (!ReadRect(rect_args, &a, rect))
    return 1;
  long red_rows = 0, lime_rows = 0, changed = 0;
  for (long y = rect[1]; y < rect[1] + rect[3]; ++y) {
    int red = 0, lime = 0;
    for (long x = rect[0]; x < rect[0] + rect[2]; ++x) {
      const unsigned char* p = At(&a, x, y);
      red |= IsRed(p);
      lime |= IsLime(p);
      if (memcmp(p, At(&b, x, y), 3) != 0)
        ++changed;
    }
    red_rows += red;
    lime_rows += lime;
  }
  printf("red_rows=%ld lime_rows=%ld changed=%ld\n", red_rows, lime_rows, changed);
  free(a.rgb);
  free(b.rgb);
  return 0;
}

static int Marks(const char* path, char** rect_args) {
  Picture picture = {0};
  long rect[4];
  if (!ReadPicture(path, &picture))
    return 1;
  if (!ReadRect(rect_args, &picture, rect))
    return 1;
  // Row by row, so that a face shaded from top to bottom counts as plain:
  // the pixels of a row that differ from the row's most common colour.
  long marks = 0;
  for (long y = rect[1]; y < rect[1] + rect[3]; ++y) {
    long most = 0;
    for (long x = rect[0]; x < rect[0] + rect[2]; ++x) {
      long same = 0;
      for (long u = rect[0]; u < rect[0] + rect[2]; ++u)
        same += memcmp(At(&picture, x, y), At(&picture, u, y), 3) == 0;
      if (same > most)
        most = same;
    }
    marks += rect[2] - most;
  }
  printf("marks=%ld\n", marks);
  free(picture.rgb);
  return 0;
}

int main(int argc, char** argv) {
  long w = 0, h = 0;
  if (argc == 6 && strcmp(argv[1], "grab") == 0 && ParseInt(argv[3], 1, &w) &&
      ParseInt(argv[4], 1, &h))
    return Grab(argv[2], w, h, argv[5]);
  if (argc == 8 && strcmp(argv[1], "traces") == 0)
    return Traces(argv[2], argv[3], argv + 4);
  if (argc == 7 && strcmp(argv[1], "marks") == 0)
    return Marks(argv[2], argv + 3);
  fprintf(stderr,
          "usage: window_image grab <window> <client width> <client height> <out.ppm>\n"
          "       window_image traces <a.ppm> <b.ppm> <x> <y> <width> <height>\n"
          "       window_image marks <a.ppm> <x> <y> <width> <height>\n");
  return 2;
}
