#include "language/Global.h"

namespace tarko {

TSyntaxFehler& SyntaxFehler()
{
    static TSyntaxFehler position;
    return position;
}

} // namespace tarko
