#pragma once
// Decoder of ZOO's LZW method (method 1): codes of 9 to 13 bits, least
// significant bit first, 256 clears the table, 257 ends the data. The reader's
// CodecInput supplies the packed bytes and its CodecOutput keeps the CRC-16.
#include "archive/codecs/CodecIo.h"

#include <cstdint>

namespace mv {

// Decodes one member up to its end code and returns the count of bytes
// written, which never passes `unpackedSize`. Input that ends before the end
// code ends the data there. Errors (ECodecError): 25139 a code that is not yet
// defined (a full table takes no
// entries until the next clear); 25298 a string longer
// than the unwind stack. All state lives in the call.
uint64_t ZooLzdDecode(CodecInput& input, CodecOutput& output, uint64_t unpackedSize);

} // namespace mv
