#pragma once

class QVariant;

// The whole number a value of the settings store holds, read alike by the
// settings dialog and the program: 0 when it holds none (a text that is no
// decimal whole number, a list, 2.5), otherwise held to the range of int.
int storedNumber(const QVariant &value);
