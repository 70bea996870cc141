// The whole-program test's input signal: a stereo tone, 44100 frames per
// second, 16-bit, a 997 Hz sine of amplitude 8000 on the left and a 443 Hz
// sine of amplitude 6000 on the right (so it stays within +-10000, the
// oscilloscope's start-up range). Whole numbers of hertz make a one-second
// piece loop without a seam; frequencies that share no small factor with the
// block size keep successive pictures of the trace from repeating.
//
//   stereo_tone wav <seconds> <out.wav>   writes that many seconds as a WAV file
//   stereo_tone fifo <path>               writes raw frames into the FIFO at
//                                         real time, for ever; when the reader
//                                         goes away it waits for the next one
//
// Exit status: 0 when the file was written, 1 on a write failure, 2 on bad
// usage. The fifo mode ends only by a signal.
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { kRate = 44100, kChannels = 2 };

static const double kPi = 3.14159265358979323846;

// Frame `n` of the tone, as little-endian 16-bit samples, left then right.
static void Frame(long n, unsigned char out[4]) {
  const double t = (double)(n % kRate) / kRate;
  const int16_t left = (int16_t)lrint(8000.0 * sin(2.0 * kPi * 997.0 * t));
  const int16_t right = (int16_t)lrint(6000.0 * sin(2.0 * kPi * 443.0 * t));
  out[0] = (unsigned char)((uint16_t)left & 0xFF);
  out[1] = (unsigned char)((uint16_t)left >> 8);
  out[2] = (unsigned char)((uint16_t)right & 0xFF);
  out[3] = (unsigned char)((uint16_t)right >> 8);
}

static void Put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = (unsigned char)(v >> (8 * i));
}

static void Put16(unsigned char* p, uint16_t v) {
  p[0] = (unsigned char)(v & 0xFF);
  p[1] = (unsigned char)(v >> 8);
}

static int WriteWav(long seconds, const char* path) {
  FILE* out = fopen(path, "wb");
  if (out == NULL) {
    perror(path);
    return 1;
  }
  const uint32_t frames = (uint32_t)(seconds * kRate);
  const uint32_t data_bytes = frames * kChannels * 2;
  unsigned char header[44];
  memcpy(header, "RIFF", 4);
  Put32(header + 4, 36 + data_bytes);
  memcpy(header + 8, "WAVEfmt ", 8);
  Put32(header + 16, 16);
  Put16(header + 20, 1);  // PCM
  Put16(header + 22, kChannels);
  Put32(header + 24, kRate);
  Put32(header + 28, kRate * kChannels * 2);
  Put16(header + 32, kChannels * 2);
  Put16(header + 34, 16);
  memcpy(header + 36, "data", 4);
  Put32(header + 40, data_bytes);
  fwrite(header, 1, sizeof header, out);
  for (uint32_t n = 0; n < frames; ++n) {
    unsigned char frame[4];
    Frame((long)n, frame);
    fwrite(frame, 1, sizeof frame, out);
  }
  const int failed = ferror(out) != 0;
  if (fclose(out) != 0 || failed) {
    perror(path);
    return 1;
  }
  return 0;
}

static void AddNs(struct timespec* t, long ns) {
  t->tv_nsec += ns;
  while (t->tv_nsec >= 1000000000L) {
    t->tv_nsec -= 1000000000L;
    ++t->tv_sec;
  }
}

// Writes 10 ms of frames per tick of an absolute clock, so the reader gets
// the signal at the pace a sound card would deliver it.
static int FeedFifo(const char* path) {
  signal(SIGPIPE, SIG_IGN);
  enum { kFramesPerTick = kRate / 100 };
  unsigned char chunk[kFramesPerTick * 4];
  long n = 0;
  for (;;) {
    const int fd = open(path, O_WRONLY);  // waits for a reader
    if (fd < 0) {
      perror(path);
      return 1;
    }
    struct timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (;;) {
      for (int i = 0; i < kFramesPerTick; ++i)
        Frame(n + i, chunk + 4 * i);
      size_t done = 0;
      while (done < sizeof chunk) {
        const ssize_t written = write(fd, chunk + done, sizeof chunk - done);
        if (written < 0 && errno == EINTR)
          continue;
        if (written <= 0)
          break;
        done += (size_t)written;
      }
      if (done < sizeof chunk)
        break;  // the reader went away
      n = (n + kFramesPerTick) % kRate;
      AddNs(&next, 10000000L);
      while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, NULL) == EINTR) {
      }
    }
    close(fd);
  }
}

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "wav") == 0) {
    char* end = NULL;
    const long seconds = strtol(argv[2], &end, 10);
    if (end != argv[2] && *end == '\0' && seconds > 0 && seconds <= 600)
      return WriteWav(seconds, argv[3]);
  }
  if (argc == 3 && strcmp(argv[1], "fifo") == 0)
    return FeedFifo(argv[2]);
  fprintf(stderr,
          "usage: stereo_tone wav <seconds> <out.wav>\n"
          "       stereo_tone fifo <path>\n");
  return 2;
}
