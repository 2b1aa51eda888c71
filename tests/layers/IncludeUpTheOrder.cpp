// Built only by the LayerOrder test, which expects it NOT to build: the inverter layer sits
// below the web layer, so the web's headers must be out of its sight.
#include "inverter/Frame.h"
#include "web/WebPages.h"

int main()
{
    return 0;
}
