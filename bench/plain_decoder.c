/* The yardstick of cli_bench.sh for `varn test`: the same job as plain C, as fast as we could
 * make it. It maps volume 1 of a one-volume medium, decodes every file (a group of eight bytes
 * per flag byte, each flag value its own unrolled case) into a cache-sized buffer, checks its
 * size and its SHA-256 against the seal with libcrypto, and prints nothing unless a file is
 * damaged.
 * Build: cc -O2 plain_decoder.c -lcrypto. Usage: plain_decoder setup.1 */
#include <openssl/evp.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

enum { Record = 164 };

static uint8_t Table[32768];

static int32_t Le32(const uint8_t* P) {
  return (int32_t)((uint32_t)P[0] | (uint32_t)P[1] << 8 | (uint32_t)P[2] << 16 |
                   (uint32_t)P[3] << 24);
}

/* Bit K of the constant flag F: a predicted byte from the table or the next literal. */
#define BIT(F, K)                                                             \
  {                                                                           \
    const unsigned I = (Second << 7) ^ Last, C = ((F) >> (K)) & 1 ? Table[I] \
        : (Table[I] = S[(K) - __builtin_popcount((F) & ((1u << (K)) - 1))]); \
    O[K] = (uint8_t)C;                                                        \
    Second = Last;                                                            \
    Last = C;                                                                 \
  }
#define GROUP(F)                                                                          \
  case F:                                                                                 \
    BIT(F, 0) BIT(F, 1) BIT(F, 2) BIT(F, 3) BIT(F, 4) BIT(F, 5) BIT(F, 6) BIT(F, 7) S += \
        8 - __builtin_popcount(F);                                                        \
    break;
#define G4(F) GROUP(F) GROUP(F + 1) GROUP(F + 2) GROUP(F + 3)
#define G16(F) G4(F) G4(F + 4) G4(F + 8) G4(F + 12)
#define G64(F) G16(F) G16(F + 16) G16(F + 32) G16(F + 48)

enum { Chunk = 1 << 16 };

/* Decodes In[0..Size), hashing the output a cache-sized chunk at a time; returns the decoded
 * length. */
static size_t Decode(const uint8_t* In, size_t Size, EVP_MD_CTX* Hash) {
  static uint8_t Out[Chunk + 8];
  const uint8_t* S = In;
  const uint8_t* const End = In + Size;
  uint8_t* O = Out;
  size_t Total = 0;
  unsigned Last = 0, Second = 0;
  memset(Table, 0, sizeof Table);
  while (End - S > 8) { /* the flag byte and up to eight literals are there */
    const unsigned Flag = *S++;
    switch (Flag) { G64(0) G64(64) G64(128) G64(192) }
    O += 8;
    if (O >= Out + Chunk) {
      EVP_DigestUpdate(Hash, Out, (size_t)(O - Out));
      Total += (size_t)(O - Out);
      O = Out;
    }
  }
  while (S < End) { /* the tail, bit by bit: the stream simply ends */
    const unsigned Flag = *S++;
    for (int K = 0; K < 8; ++K) {
      const unsigned I = (Second << 7) ^ Last;
      unsigned C;
      if (Flag >> K & 1) {
        C = Table[I];
      } else {
        if (S == End) goto Done;
        C = Table[I] = *S++;
      }
      *O++ = (uint8_t)C;
      Second = Last;
      Last = C;
    }
    if (O >= Out + Chunk) {
      EVP_DigestUpdate(Hash, Out, (size_t)(O - Out));
      Total += (size_t)(O - Out);
      O = Out;
    }
  }
Done:
  EVP_DigestUpdate(Hash, Out, (size_t)(O - Out));
  return Total + (size_t)(O - Out);
}

int main(int Argc, char** Argv) {
  if (Argc != 2) return fprintf(stderr, "usage: plain_decoder setup.1\n"), 2;
  const int File = open(Argv[1], O_RDONLY);
  struct stat Info;
  if (File < 0 || fstat(File, &Info) != 0) return perror(Argv[1]), 1;
  const uint8_t* Volume = mmap(NULL, (size_t)Info.st_size, PROT_READ, MAP_PRIVATE, File, 0);
  if (Volume == MAP_FAILED) return perror(Argv[1]), 1;
  const int32_t Count = Le32(Volume);
  const uint8_t* Seal = Volume + 5 + (size_t)Record * (size_t)Count;
  EVP_MD_CTX* Hash = EVP_MD_CTX_new();
  int Damaged = 0;
  for (int32_t I = 0; I < Count; ++I) {
    const uint8_t* H = Volume + 5 + (size_t)Record * (size_t)I;
    const int32_t Start = Le32(H + 132), Last = Le32(H + 16), Size = Le32(H + 128);
    const size_t Coded = Start < 0 ? 0 : (size_t)(Last - Start + 1);
    uint8_t Digest[32];
    EVP_DigestInit_ex(Hash, EVP_sha256(), NULL);
    const size_t Got = Decode(Volume + Start, Coded, Hash);
    EVP_DigestFinal_ex(Hash, Digest, NULL);
    if (Got != (size_t)Size || memcmp(Digest, Seal + 52 + 32 * I, 32) != 0) {
      printf("damaged: entry %d\n", (int)I);
      Damaged = 1;
    }
  }
  EVP_MD_CTX_free(Hash);
  return Damaged;
}
