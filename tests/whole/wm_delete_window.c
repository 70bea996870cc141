// Asks a top-level X window to close the way a window manager does: a
// WM_PROTOCOLS client message carrying WM_DELETE_WINDOW, sent to the window
// itself. The client then decides (it may ask the user, or refuse).
//
// Usage: wm_delete_window <window id>   (decimal or 0x-hexadecimal)
// Exit status: 0 when the message was sent; 1 when the window does not exist
// or does not take part in the delete protocol (a window manager would then
// kill the client, which is not what we want to test); 2 on bad usage or no
// display.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>

static int g_x_error = 0;

static int OnXError(Display* display, XErrorEvent* error) {
  char text[256];
  XGetErrorText(display, error->error_code, text, sizeof text);
  fprintf(stderr, "wm_delete_window: X error: %s\n", text);
  g_x_error = 1;
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: wm_delete_window <window id>\n");
    return 2;
  }
  char* end = NULL;
  const unsigned long id = strtoul(argv[1], &end, 0);
  if (end == argv[1] || *end != '\0' || id == 0) {
    fprintf(stderr, "wm_delete_window: '%s' is not a window id\n", argv[1]);
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "wm_delete_window: cannot open the display\n");
    return 2;
  }
  XSetErrorHandler(OnXError);
  const Window window = (Window)id;
  const Atom wm_protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom wm_delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);

  Atom* protocols = NULL;
  int count = 0;
  int takes_part = 0;
  if (XGetWMProtocols(display, window, &protocols, &count)) {
    for (int i = 0; i < count; ++i) {
      if (protocols[i] == wm_delete_window)
        takes_part = 1;
    }
    XFree(protocols);
  }
  if (g_x_error || !takes_part) {
    fprintf(stderr, "wm_delete_window: window 0x%lx does not accept WM_DELETE_WINDOW\n", id);
    XCloseDisplay(display);
    return 1;
  }

  XEvent event = {0};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = wm_protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)wm_delete_window;
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return g_x_error ? 1 : 0;
}
