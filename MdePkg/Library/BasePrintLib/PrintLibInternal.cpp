// The print engine: turns a format string and an argument list into text in a caller's buffer.
// Everything lives on the stack; the only recursion is one call through FormatWithMode for %g, %t
// and %r, whose formats contain none of those conversions.
#include "MdePkg/Library/BasePrintLib/PrintLibInternal.h"

#include "Library/BaseLib.h"
#include "Library/DebugLib.h"
#include "Library/PcdLib.h"

namespace {

constexpr CHAR8 DigitTable[] = "0123456789ABCDEF";

constexpr UINT8 CrLf[] = {0x0D, 0x0A, 0x00};
constexpr UINT8 Cr[] = {0x0D, 0x00};

constexpr CHAR8 NullString[] = "<null string>";
constexpr CHAR8 NullGuid[] = "<null guid>";
constexpr CHAR8 NullTime[] = "<null time>";

constexpr CHAR8 GuidFormat[] = "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x";
constexpr CHAR8 TimeFormat[] = "%02d/%02d/%04d  %02d:%02d";
constexpr CHAR8 StatusFormat[] = "%08X";

// Names of the warnings 0-5, looked up by the status value.
constexpr const CHAR8 *const WarningText[] = {
    "Success",
    "Warning Unknown Glyph",
    "Warning Delete Failure",
    "Warning Write Failure",
    "Warning Buffer Too Small",
    "Warning Stale Data",
};

// Names of the errors 1-33, looked up by the status's low 31 bits minus one.
constexpr const CHAR8 *const ErrorText[] = {
    "Load Error",      "Invalid Parameter", "Unsupported",          "Bad Buffer Size",
    "Buffer Too Small", "Not Ready",        "Device Error",         "Write Protected",
    "Out of Resources", "Volume Corrupt",   "Volume Full",          "No Media",
    "Media changed",   "Not Found",         "Access Denied",        "No Response",
    "No mapping",      "Time out",          "Not started",          "Already started",
    "Aborted",         "ICMP Error",        "TFTP Error",           "Protocol Error",
    "Incompatible Version", "Security Violation", "CRC Error",      "End of Media",
    "Reserved (29)",   "Reserved (30)",     "End of File",          "Invalid Language",
    "Compromised Data",
};
static_assert(sizeof(WarningText) / sizeof(WarningText[0]) == 6, "warnings 0-5");
static_assert(sizeof(ErrorText) / sizeof(ErrorText[0]) == 33, "errors 1-33");

constexpr UINT32 ErrorBit = 0x80000000u;

// One character of a format or an item text: 1 byte, or 2 bytes low byte first. Strings carry no
// alignment guarantee, so 16-bit characters are read byte by byte.
inline UINT32 ReadCharacter(const UINT8 *Text, UINTN Size) {
  return Size == 1 ? Text[0] : static_cast<UINT32>(Text[0] | (Text[1] << 8));
}

// The format characters that end a run of plain characters: the terminator, '%', LF and CR.
struct RunEnderTable {
  BOOLEAN Ends[256];
};
constexpr RunEnderTable MakeRunEnders() {
  RunEnderTable Table = {};
  Table.Ends[0] = TRUE;
  Table.Ends[static_cast<UINT8>('\n')] = TRUE;
  Table.Ends[static_cast<UINT8>('\r')] = TRUE;
  Table.Ends[static_cast<UINT8>('%')] = TRUE;
  return Table;
}
constexpr RunEnderTable RunEnders = MakeRunEnders();

// The name of a status in the %r table, or null when it has none.
const CHAR8 *StatusName(UINT32 Status) {
  if ((Status & ErrorBit) != 0) {
    const UINT32 Index = Status & ~ErrorBit;
    return (Index >= 1 && Index <= 33) ? ErrorText[Index - 1] : nullptr;
  }
  return Status <= 5 ? WarningText[Status] : nullptr;
}

}  // namespace

CHAR8 *ValueToDigits(CHAR8 *Buffer, UINT64 Value, UINT32 Radix) {
  *Buffer = 0;
  if (Radix == 16) {
    // The remainder by 16 is the low nibble.
    do {
      *++Buffer = DigitTable[Value & 0x0F];
      Value >>= 4;
    } while (Value != 0);
    return Buffer;
  }
  if (Radix == 10) {
    // A value above 32 bits gives up nine digits per 64-by-32 division; the rest is 32-bit arithmetic,
    // whose division by the constant 10 needs no division instruction.
    while (Value > 0xFFFFFFFFu) {
      UINT32 Chunk = 0;
      Value = DivU64x32Remainder(Value, 1000000000u, &Chunk);
      for (UINTN Digit = 0; Digit < 9; Digit++) {
        *++Buffer = static_cast<CHAR8>('0' + Chunk % 10);
        Chunk /= 10;
      }
    }
    UINT32 Low = static_cast<UINT32>(Value);
    do {
      *++Buffer = static_cast<CHAR8>('0' + Low % 10);
      Low /= 10;
    } while (Low != 0);
    return Buffer;
  }
  do {
    UINT32 Remainder = 0;
    Value = DivU64x32Remainder(Value, Radix, &Remainder);
    *++Buffer = DigitTable[Remainder & 0x0F];
  } while (Value != 0);
  return Buffer;
}

CHAR8 *FillCharacters(CHAR8 *Buffer, CHAR8 *End, INTN Count, UINTN Character, UINTN Width) {
  for (INTN Index = 0; Index < Count && Buffer < End; Index++) {
    Buffer[0] = static_cast<CHAR8>(Character & 0xFF);
    if (Width == 2) {
      Buffer[1] = static_cast<CHAR8>((Character >> 8) & 0xFF);
    }
    Buffer += Width;
  }
  return Buffer;
}

UINTN FormatEngine(CHAR8 *Buffer, UINTN BufferSize, UINTN Mode, const CHAR8 *Format, va_list Arguments) {
  const UINTN ModeFlags = Mode & (FMT_OUTPUT_UCS2 | FMT_FORMAT_UCS2 | FMT_COUNT_ONLY);
  const BOOLEAN CountOnly = (ModeFlags & FMT_COUNT_ONLY) != 0;

  if (BufferSize != 0 && !CountOnly) {
    ASSERT_TEXT(Buffer != nullptr, "(Buffer != ((void *) 0))");
    if (Buffer == nullptr) {
      return 0;
    }
  }
  if (BufferSize != 0 || CountOnly) {
    ASSERT_TEXT(Format != nullptr, "(Format != ((void *) 0))");
    if (Format == nullptr) {
      return 0;
    }
  }

  UINTN OutputSize;
  if ((ModeFlags & FMT_OUTPUT_UCS2) != 0) {
    if (_gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength != 0) {
      ASSERT_TEXT(BufferSize <= _gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength,
                  "(BufferSize <= (_gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength))");
      if (BufferSize > _gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength) {
        return 0;
      }
    }
    OutputSize = 2;
  } else {
    if (_gPcd_FixedAtBuild_PcdMaximumAsciiStringLength != 0) {
      ASSERT_TEXT(BufferSize <= _gPcd_FixedAtBuild_PcdMaximumAsciiStringLength,
                  "(BufferSize <= (_gPcd_FixedAtBuild_PcdMaximumAsciiStringLength))");
      if (BufferSize > _gPcd_FixedAtBuild_PcdMaximumAsciiStringLength) {
        return 0;
      }
    }
    OutputSize = 1;
  }

  UINTN FormatSize;
  if ((ModeFlags & FMT_FORMAT_UCS2) != 0) {
    const UINTN Maximum = _gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength;
    if (Maximum != 0) {
      const BOOLEAN Fits = StrnLenS(reinterpret_cast<const CHAR16 *>(Format), Maximum + 1) <= Maximum;
      ASSERT_TEXT(Fits,
                  "(StrnLenS ((CHAR16 *)Format, (_gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength) + 1) <= "
                  "(_gPcd_FixedAtBuild_PcdMaximumUnicodeStringLength))");
      if (!Fits) {
        return 0;
      }
    }
    FormatSize = 2;
  } else {
    const UINTN Maximum = _gPcd_FixedAtBuild_PcdMaximumAsciiStringLength;
    if (Maximum != 0) {
      const BOOLEAN Fits = AsciiStrnLenS(Format, Maximum + 1) <= Maximum;
      ASSERT_TEXT(Fits,
                  "(AsciiStrnLenS (Format, (_gPcd_FixedAtBuild_PcdMaximumAsciiStringLength) + 1) <= "
                  "(_gPcd_FixedAtBuild_PcdMaximumAsciiStringLength))");
      if (!Fits) {
        return 0;
      }
    }
    FormatSize = 1;
  }

  // Count-only never touches the buffer, whatever its size: the count is that of an unlimited buffer.
  // Otherwise one character is kept for the terminator.
  CHAR8 *Position = nullptr;
  CHAR8 *End = nullptr;
  if (!CountOnly) {
    if (BufferSize == 0) {
      return 0;
    }
    // A size meant as "unlimited" must not wrap the end position past the top of the address space.
    const UINTN Room = (~static_cast<UINTN>(0) - reinterpret_cast<UINTN>(Buffer)) >> (OutputSize - 1);
    const UINTN Characters = (BufferSize - 1 < Room) ? BufferSize - 1 : Room;
    Position = Buffer;
    End = reinterpret_cast<CHAR8 *>(reinterpret_cast<UINTN>(Buffer) + Characters * OutputSize);
  }
  UINTN Produced = 0;

  // Output of Repeat copies of one character: counted without a buffer, else written up to the end.
  auto Emit = [&](INTN Repeat, UINTN Character) {
    if (Repeat <= 0) {
      return;
    }
    if (Position == nullptr) {
      Produced += static_cast<UINTN>(Repeat);
    } else {
      Position = FillCharacters(Position, End, Repeat, Character, OutputSize);
    }
  };
  // Output of one character.
  auto Put = [&](UINT32 Value) {
    if (Position == nullptr) {
      Produced++;
    } else if (Position < End) {
      Position[0] = static_cast<CHAR8>(Value & 0xFF);
      if (OutputSize == 2) {
        Position[1] = static_cast<CHAR8>((Value >> 8) & 0xFF);
      }
      Position += OutputSize;
    }
  };

  const UINT8 *Cursor = reinterpret_cast<const UINT8 *>(Format);
  UINT32 Character = ReadCharacter(Cursor, FormatSize);

  // A line feed (with a following carriage return) or a carriage return (with a following line feed)
  // becomes CR LF; a lone carriage return stays CR.
  auto LineBreak = [&]() -> const UINT8 * {
    const UINT32 Next = ReadCharacter(Cursor + FormatSize, FormatSize);
    if (Character == '\n') {
      if (Next == '\r') {
        Cursor += FormatSize;
      }
      return CrLf;
    }
    if (Next == '\n') {
      Cursor += FormatSize;
      return CrLf;
    }
    return Cr;
  };

  while (Character != 0 && (Position == nullptr || Position < End)) {
    if (Character != '%' && Character != '\n' && Character != '\r') {
      // A run of plain characters: each is one character with no padding.
      if (FormatSize == 1 && OutputSize == 1 && Position != nullptr) {
        // Find the run first (reading no further than its end), then copy what fits.
        // Four characters a step, each read only when the one before it did not end the run.
        const UINT8 *RunEnd = Cursor + 1;
        for (;;) {
          if (RunEnders.Ends[RunEnd[0]]) {
            break;
          }
          if (RunEnders.Ends[RunEnd[1]]) {
            RunEnd += 1;
            break;
          }
          if (RunEnders.Ends[RunEnd[2]]) {
            RunEnd += 2;
            break;
          }
          if (RunEnders.Ends[RunEnd[3]]) {
            RunEnd += 3;
            break;
          }
          RunEnd += 4;
        }
        UINTN Length = static_cast<UINTN>(RunEnd - Cursor);
        const UINTN Room = static_cast<UINTN>(End - Position);
        if (Length > Room) {
          Length = Room;
        }
        for (UINTN Index = 0; Index < Length; Index++) {
          Position[Index] = static_cast<CHAR8>(Cursor[Index]);
        }
        Position += Length;
        Cursor += Length;
        Character = *Cursor;
      } else {
        Put(Character);
        Cursor += FormatSize;
        Character = ReadCharacter(Cursor, FormatSize);
      }
      continue;
    }
    if (Character != '%') {
      // A line break outside a conversion: its characters with no padding.
      for (const UINT8 *Text = LineBreak(); *Text != 0; Text++) {
        Put(*Text);
      }
      Cursor += FormatSize;
      Character = ReadCharacter(Cursor, FormatSize);
      continue;
    }

    UINTN Flags = ModeFlags;
    UINTN Width = 0;
    UINTN Precision = 1;
    CHAR8 Prefix = 0;
    BOOLEAN Comma = FALSE;
    BOOLEAN ZeroPad = FALSE;
    UINTN Count = 0;
    UINTN Group = 0;
    const UINT8 *Text = nullptr;
    UINT8 CharacterText[4] = {0, 0, 0, 0};  // one 16-bit character and its terminator
    CHAR8 ValueBuffer[FMT_VALUE_BUFFER_SIZE];

    for (BOOLEAN Done = FALSE; !Done;) {
      Cursor += FormatSize;
      Character = ReadCharacter(Cursor, FormatSize);
      switch (Character) {
        case '.':
          Flags |= FMT_PRECISION_GIVEN;
          break;
        case '-':
          Flags |= FMT_LEFT_ALIGN;
          break;
        case '+':
          Flags |= FMT_SIGN_PLUS;
          break;
        case ' ':
          Flags |= FMT_SIGN_SPACE;
          break;
        case ',':
          Flags |= FMT_GROUP_THOUSANDS;
          break;
        case 'l':
        case 'L':
          Flags |= FMT_ARG_64BIT;
          break;
        case '*': {
          // An int-sized argument, sign-extended so that a negative one pads nothing on any word size.
          const UINTN Value = static_cast<UINTN>(static_cast<INTN>(va_arg(Arguments, int)));
          if ((Flags & FMT_PRECISION_GIVEN) == 0) {
            Flags |= FMT_WIDTH_GIVEN;
            Width = Value;
          } else {
            Precision = Value;
          }
          break;
        }
        case '0':
          if ((Flags & FMT_PRECISION_GIVEN) == 0) {
            Flags |= FMT_ZERO_FILL;
          }
          [[fallthrough]];
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': {
          UINTN Number = Character - '0';
          for (;;) {
            const UINT32 Next = ReadCharacter(Cursor + FormatSize, FormatSize);
            if (Next < '0' || Next > '9') {
              break;
            }
            Cursor += FormatSize;
            Number = Number * 10 + (Next - '0');
          }
          if ((Flags & FMT_PRECISION_GIVEN) == 0) {
            Flags |= FMT_WIDTH_GIVEN;
            Width = Number;
          } else {
            Precision = Number;
          }
          break;
        }
        case 0:
          // The format ends inside the item: step back so that the main loop meets the terminator.
          Cursor -= FormatSize;
          Precision = 0;
          Done = TRUE;
          break;
        default:
          Done = TRUE;
          break;
      }
    }

    switch (Character) {
      case 'd':
      case 'u':
      case 'x':
      case 'X':
      case 'p': {
        UINT64 Value;
        if (Character == 'p') {
          Flags &= ~(FMT_SIGN_PLUS | FMT_SIGN_SPACE | FMT_ARG_64BIT | FMT_ZERO_FILL);
          Flags |= FMT_ZERO_FILL | FMT_RADIX_16;
          // A pointer is printed at its full width, never cut to 32 bits.
          Value = reinterpret_cast<UINTN>(va_arg(Arguments, VOID *));
          if (sizeof(UINTN) > sizeof(UINT32)) {
            Flags |= FMT_ARG_64BIT;
          }
        } else {
          if (Character == 'X') {
            Flags |= FMT_ZERO_FILL | FMT_RADIX_16;
          } else if (Character == 'x') {
            Flags |= FMT_RADIX_16;
          } else if (Character == 'u') {
            Flags &= ~FMT_SIGN_PLUS;
            Flags |= FMT_UNSIGNED;
          }
          if ((Flags & FMT_ARG_64BIT) != 0) {
            Value = va_arg(Arguments, UINT64);
          } else {
            Value = static_cast<UINT64>(static_cast<INT64>(va_arg(Arguments, int)));
          }
        }

        if ((Flags & FMT_SIGN_SPACE) != 0) {
          Prefix = ' ';
        }
        if ((Flags & FMT_SIGN_PLUS) != 0) {
          Prefix = '+';
        }
        const BOOLEAN Negative = static_cast<INT64>(Value) < 0;
        UINT32 Radix;
        if ((Flags & FMT_RADIX_16) == 0) {
          Radix = 10;
          if ((Flags & FMT_GROUP_THOUSANDS) != 0) {
            Comma = TRUE;
            Flags &= ~FMT_ZERO_FILL;
            Precision = 1;
          }
          if (Negative && (Flags & FMT_UNSIGNED) == 0) {
            Prefix = '-';
            Flags |= FMT_SIGN_PLUS;
            Value = 0 - Value;  // unsigned, so the most negative value has a magnitude too
          } else if ((Flags & FMT_UNSIGNED) != 0 && (Flags & FMT_ARG_64BIT) == 0) {
            Value &= 0xFFFFFFFFu;
          }
        } else {
          Radix = 16;
          if ((Flags & FMT_ARG_64BIT) == 0 && Negative) {
            Value &= 0xFFFFFFFFu;
          }
        }

        Count = static_cast<UINTN>(ValueToDigits(ValueBuffer, Value, Radix) - ValueBuffer);
        if (Value == 0 && Precision == 0) {
          Count = 0;
        }
        Text = reinterpret_cast<const UINT8 *>(ValueBuffer) + Count;
        Group = (3 - Count % 3) % 3;
        if (Comma && Count != 0) {
          Count += (Count - 1) / 3;
        }
        if (Prefix != 0) {
          Count++;
          Precision++;
        }
        Flags |= FMT_DIGITS_REVERSED;
        ZeroPad = TRUE;
        if ((Flags & (FMT_ZERO_FILL | FMT_WIDTH_GIVEN | FMT_LEFT_ALIGN | FMT_PRECISION_GIVEN)) ==
            (FMT_ZERO_FILL | FMT_WIDTH_GIVEN)) {
          Precision = Width;
        }
        break;
      }
      case 's':
      case 'S':
      case 'a': {
        const VOID *String = va_arg(Arguments, const VOID *);
        if (Character != 'a') {
          Flags |= FMT_ARG_UCS2;
        }
        if (String == nullptr) {
          Flags &= ~FMT_ARG_UCS2;
          String = NullString;
        }
        Text = static_cast<const UINT8 *>(String);
        // Only a width pads a string unless a precision is given.
        if ((Flags & FMT_PRECISION_GIVEN) == 0) {
          Precision = 0;
        }
        break;
      }
      case 'c': {
        const UINT32 Value = static_cast<UINT32>(va_arg(Arguments, int));
        CharacterText[0] = static_cast<UINT8>(Value & 0xFF);
        CharacterText[1] = static_cast<UINT8>((Value >> 8) & 0xFF);
        Text = CharacterText;
        Flags |= FMT_ARG_UCS2;
        break;
      }
      case 'g': {
        const UINT8 *Guid = va_arg(Arguments, const UINT8 *);
        if (Guid == nullptr) {
          Text = reinterpret_cast<const UINT8 *>(NullGuid);
        } else {
          FormatWithMode(ValueBuffer, FMT_VALUE_BUFFER_SIZE, 0, GuidFormat, UnalignedRead32(Guid),
                         UnalignedRead16(Guid + 4), UnalignedRead16(Guid + 6), Guid[8], Guid[9], Guid[10],
                         Guid[11], Guid[12], Guid[13], Guid[14], Guid[15]);
          Text = reinterpret_cast<const UINT8 *>(ValueBuffer);
        }
        break;
      }
      case 't': {
        const UINT8 *Time = va_arg(Arguments, const UINT8 *);
        if (Time == nullptr) {
          Text = reinterpret_cast<const UINT8 *>(NullTime);
        } else {
          FormatWithMode(ValueBuffer, FMT_VALUE_BUFFER_SIZE, 0, TimeFormat, Time[2], Time[3],
                         UnalignedRead16(Time), Time[4], Time[5]);
          Text = reinterpret_cast<const UINT8 *>(ValueBuffer);
        }
        break;
      }
      case 'r': {
        const UINT32 Status = va_arg(Arguments, UINT32);
        const CHAR8 *Name = StatusName(Status);
        if (Name == nullptr) {
          FormatWithMode(ValueBuffer, FMT_VALUE_BUFFER_SIZE, 0, StatusFormat, Status);
          Name = ValueBuffer;
        }
        Text = reinterpret_cast<const UINT8 *>(Name);
        break;
      }
      case '\n':
      case '\r':
        Text = LineBreak();
        break;
      default:
        // '%', an unknown conversion character, or the terminator (an empty item).
        CharacterText[0] = static_cast<UINT8>(Character & 0xFF);
        CharacterText[1] = static_cast<UINT8>((Character >> 8) & 0xFF);
        Text = CharacterText;
        Flags |= FMT_ARG_UCS2;
        break;
    }

    const UINTN TextSize = (Flags & FMT_ARG_UCS2) != 0 ? 2 : 1;
    if ((Flags & (FMT_DIGITS_REVERSED | FMT_WIDTH_GIVEN | FMT_PRECISION_GIVEN)) == 0 && TextSize == 1 &&
        OutputSize == 1 && Position != nullptr) {
      // Neither width nor precision: the text alone, copied in one pass up to its zero or the end.
      while (*Text != 0 && Position < End) {
        *Position++ = static_cast<CHAR8>(*Text++);
      }
      Cursor += FormatSize;
      Character = ReadCharacter(Cursor, FormatSize);
      continue;
    }
    if ((Flags & FMT_DIGITS_REVERSED) == 0) {
      // The precision is checked first so that a string shorter than its precision is never read past it.
      Count = 0;
      while (((Flags & FMT_PRECISION_GIVEN) == 0 || Count < Precision) &&
             ReadCharacter(Text + Count * TextSize, TextSize) != 0) {
        Count++;
      }
    }
    if (Precision < Count) {
      Precision = Count;
    }

    if ((Flags & (FMT_WIDTH_GIVEN | FMT_LEFT_ALIGN)) == FMT_WIDTH_GIVEN) {
      Emit(static_cast<INTN>(Width - Precision), ' ');
    }
    if (ZeroPad) {
      if (Prefix != 0) {
        Emit(1, static_cast<UINTN>(Prefix));
      }
      Emit(static_cast<INTN>(Precision - Count), '0');
    } else {
      Emit(static_cast<INTN>(Precision - Count), ' ');
      if (Prefix != 0) {
        Emit(1, static_cast<UINTN>(Prefix));
      }
    }

    // Digits are read from the most significant one down to the zero byte before the first digit.
    const INTN Step = (Flags & FMT_DIGITS_REVERSED) != 0 ? -1 : static_cast<INTN>(TextSize);
    UINTN Index = (Prefix != 0) ? 1 : 0;
    if (!Comma && TextSize == 1 && OutputSize == 1 && Position != nullptr) {
      // Bytes to bytes: the count already stops before the item's zero character (for digits, before
      // the zero byte that precedes them), so only the room is left to check.
      UINTN Left = Count > Index ? Count - Index : 0;
      const UINTN Room = static_cast<UINTN>(End - Position);
      if (Left > Room) {
        Left = Room;
      }
      for (; Left != 0; Left--) {
        *Position++ = static_cast<CHAR8>(*Text);
        Text += Step;
      }
    } else {
      while (Index < Count) {
        const UINT32 Value = ReadCharacter(Text, TextSize);
        if (Value == 0) {
          break;
        }
        Put(Value);
        Text += Step;
        Index++;
        if (Comma && ++Group == 3) {
          Group = 0;
          Index++;
          if (Index < Count) {
            Put(',');
          }
        }
        if (Position != nullptr && Position >= End) {
          break;  // nothing more fits
        }
      }
    }

    if ((Flags & (FMT_WIDTH_GIVEN | FMT_LEFT_ALIGN)) == (FMT_WIDTH_GIVEN | FMT_LEFT_ALIGN)) {
      Emit(static_cast<INTN>(Width - Precision), ' ');
    }

    Cursor += FormatSize;
    Character = ReadCharacter(Cursor, FormatSize);
  }

  if (CountOnly) {
    return Produced;
  }
  ASSERT_TEXT(Buffer != nullptr, "Buffer != ((void *) 0)");
  FillCharacters(Position, Position + OutputSize, 1, 0, OutputSize);
  return static_cast<UINTN>(Position - Buffer) / OutputSize;
}
