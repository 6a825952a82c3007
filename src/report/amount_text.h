#pragma once

#include <QString>

namespace mereval::report {

// An amount in currency units as the report shows it: whole cents, halves
// rounded up, "." before the cents, no thousands separators, "-" for any
// amount below 0. 12.5 gives "12.50", -0.004 gives "-0.00".
QString AmountText(double amount);

}  // namespace mereval::report
