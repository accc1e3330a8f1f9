#pragma once
// TVarnStreamCompress: the order-2 prediction decoder. It knows nothing of files or volumes:
// it pulls compressed blocks through OnReadBuffer and hands decoded blocks to OnWriteBuffer.
//
// Stream format: groups of one flag byte and one literal for each clear bit, bit 0 first. A
// set bit stands for the byte that the table predicts for the current context, index
// (SecondLastByte << 7) ^ LastByte (a shift of 7: pairs may share an entry); a literal is
// stored in the table under the context in force before it. Each stream starts from a zeroed
// table and context; it simply ends (no length, no end marker).
#include <array>
#include <cstdint>
#include <functional>

#include <varn/framework/Component.h>

namespace varn {

class TVarnStreamCompress;

using TVSCBuffer = std::array<uint8_t, 8192>;
// Fills Buf from index 0 and sets BIB to the number of bytes placed (0 to 8192); 0 means the
// input is exhausted, and the decoder then asks no more within one Decompress.
using TReadBufferEvent =
    std::function<void(TVarnStreamCompress& VSC, TVSCBuffer& Buf, int32_t& BIB)>;
// Buf holds BIB output bytes (1 to 8192) in stream order; the handler consumes them before it
// returns, since the buffer is reused at once.
using TWriteBufferEvent =
    std::function<void(TVarnStreamCompress& VSC, TVSCBuffer& Buf, int32_t BIB)>;

class TVarnStreamCompress : public TComponent {
 public:
  using TComponent::TComponent;

  TReadBufferEvent OnReadBuffer;
  TWriteBufferEvent OnWriteBuffer;

  // Decodes one complete stream from a fresh predictor. OnReadBuffer is called only when every
  // byte of the previous block has been consumed; OnWriteBuffer gets every block but the last
  // with exactly 8192 bytes (a full buffer is handed over only when a further byte arrives, so
  // an output of exactly 8192 bytes is one call at the end). Returns when the input is
  // exhausted, after the last output was delivered. An exception from a handler leaves at
  // once, without delivering pending output. Allocates nothing.
  void Decompress();

 protected:
  uint8_t SecondLastByte = 0;
  uint8_t LastByte = 0;
  std::array<uint8_t, 32768> PredictionTable{};
  TVSCBuffer InBuffer{};
  TVSCBuffer OutBuffer{};
  int32_t InCount = 0;
  int32_t OutCount = 0;
  int32_t InPos = 0;

  void ResetPredictor();
  void FlushOutput();

 private:
  // GetByte's refill: calls OnReadBuffer with InBuffer and InCount (no handler: 0 bytes),
  // keeps InCount within 0..8192 and sets InPos to 0; false when no byte arrived.
  bool RefillInput();
};

}  // namespace varn
