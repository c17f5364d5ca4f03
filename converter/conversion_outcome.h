#pragma once
// How a conversion ended: a code each front end words its own way.

enum class ConversionOutcome {
    Finished,
    TooLarge,      // the sample arrays could not be created
    ReadFailed,    // the sample read failed at the system level
    WriteFailed,   // the signal file could not be opened, written or closed
    OutputClosed,  // the lines went to a pipe that nobody reads any more
    NotANumber,    // a float sample is infinite or not a number: nothing was written
};
