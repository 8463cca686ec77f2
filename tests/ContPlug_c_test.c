/* The host interface header compiles as plain C. */
#include "plugin/ContPlug.h"

int main(void) {
  ContentGetValueProc value = 0;
  ContentGetSupportedFieldProc field = 0;
  return (value == 0 && field == 0 && ft_string == 8 && ft_fieldempty == -3) ? 0 : 1;
}
