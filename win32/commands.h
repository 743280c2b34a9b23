// The statistics window's commands: the confirmation texts, exactly as the boxes show them.
#pragma once

extern const char exitQuestion[];
extern const char exitCaption[];
extern const char resetQuestion[];
extern const char resetCaption[];
extern const char sumUpQuestion[];
extern const char sumUpCaption[];
