#!/usr/bin/env python3
"""What the size checker counts as a function, and how long."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import sizes_check  # noqa: E402


def body(lines):
    return '\n'.join(['  int x = 0;'] * lines)


class FunctionsFound(unittest.TestCase):
    def found(self, text):
        return [(name.split('(')[0], last - first + 1) for name, first, last in sizes_check.functions(text)]

    def test_cases(self):
        cases = [
            ('a plain function, brace to brace',
             'int f(int a) {\n' + body(3) + '\n}\n', [('f', 5)]),
            ('a lambda counts within its function',
             'void g() {\n  auto l = [] {\n' + body(4) + '\n  };\n}\n', [('g', 8)]),
            ('member initialisers are not a body',
             'A::A(int v) : a_{v}, b_{\n v} {\n' + body(2) + '\n}\n', [('A::A', 4)]),
            ('functions inside namespaces and classes',
             'namespace n {\nstruct S {\n  void m() const {\n' + body(1) + '\n  }\n};\n}\n', [('m', 3)]),
            ('braces in strings, characters and comments are not counted',
             'void h() {\n  const char* s = "{{";\n  char c = \'}\';\n  // }\n  /* { */\n'
             '  auto r = R"x({)x";\n}\n', [('h', 7)]),
            ('a table at namespace level is no function',
             'const int kTable[] = {\n  1,\n  2,\n};\nstruct P { int a; };\nconst P kP[] = {{1}, {2}};\n', []),
            ('braces in a macro\'s arguments are no function',
             'INSTANTIATE_TEST_SUITE_P(A, B, testing::Values(C{1, {2}}, C{3}));\nTEST(A, B) {\n}\n',
             [('TEST', 2)]),
            ('operators with = in their names are functions',
             'bool operator==(A a, A b) {\n  return true;\n}\nA& A::operator=(const A&) {\n}\n',
             [('operator==', 3), ('A::operator=', 2)]),
        ]
        for what, text, expected in cases:
            with self.subTest(what):
                self.assertEqual(self.found(text), expected)


class Offenders(unittest.TestCase):
    def test_limits_and_allow_list(self):
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, 'src'))
            os.makedirs(os.path.join(root, 'tests'))
            with open(os.path.join(root, 'src', 'long.cpp'), 'w') as f:
                f.write('void longest() {\n' + body(59) + '\n}\nvoid fits() {\n' + body(58) + '\n}\n')
            with open(os.path.join(root, 'tests', 'big.h'), 'w') as f:
                f.write('// x\n' * 401)
            with open(os.path.join(root, 'tests', 'edge.h'), 'w') as f:
                f.write('// x\n' * 400)
            # The benchmarks' output is not read, whatever it holds.
            os.makedirs(os.path.join(root, 'bench', 'out'))
            with open(os.path.join(root, 'bench', 'out', 'region.txt'), 'wb') as f:
                f.write(b'\x80\xff' + b'\n' * 500)
            found = sizes_check.offenders(root)
            self.assertEqual(len(found), 2, found)
            self.assertIn('src/long.cpp:1: longest(): 61 lines', found[0])
            self.assertIn('tests/big.h: 401 lines', found[1])
            sizes_check.ALLOWED[('src/long.cpp', 'longest')] = 'a table'
            try:
                self.assertEqual(len(sizes_check.offenders(root)), 1)
            finally:
                del sizes_check.ALLOWED[('src/long.cpp', 'longest')]


if __name__ == '__main__':
    unittest.main()
