// The maker's support address, named at the end of every notification.
#pragma once

namespace mrwd {

constexpr char kSupportAddress[] = "support@marotel.example";

}  // namespace mrwd
