// Which vector width the reading and writing loops use. Each loop has a copy
// for 128-bit vectors, which every x86-64 processor has, and one for 256-bit
// vectors (AVX2, with the bit instructions of BMI2); the processor is asked
// once, here, and every loop follows the answer. The tests turn the wide
// copies off to run the narrow ones too.
#pragma once

namespace gyro::vectors {

// Whether the 256-bit copies run: the processor has them and they are not
// turned off.
bool wide();

// Turns the 256-bit copies off (`narrow`) or back on where the processor has
// them; returns whether they were on before.
bool use_narrow_only(bool narrow);

}  // namespace gyro::vectors
