#pragma once
// How this program includes Boost.Math: errors come back as values, never thrown (a quantile or
// a function the library cannot reach is NaN or inf, an empty figure, and the run goes on), and
// doubles stay doubles: the library would otherwise work in the x87's long doubles, three times
// slower, for digits beyond what the figures need (tested against references outside the
// project). Included before any Boost.Math header.

#define BOOST_MATH_DOMAIN_ERROR_POLICY ignore_error
#define BOOST_MATH_POLE_ERROR_POLICY ignore_error
#define BOOST_MATH_OVERFLOW_ERROR_POLICY ignore_error
#define BOOST_MATH_EVALUATION_ERROR_POLICY ignore_error
#define BOOST_MATH_ROUNDING_ERROR_POLICY ignore_error
#define BOOST_MATH_PROMOTE_DOUBLE_POLICY false
