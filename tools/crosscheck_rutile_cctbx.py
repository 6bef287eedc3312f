#!/usr/bin/python3
"""Structure factors of examples/rutile-TiO2.xml by cctbx direct summation (IT1992
form factors, Sasaki f'/f'' at Cu Ka1): the reference values of the rutile test in
tests/test_structure_factor.cpp. Run with Debian's python3-cctbx."""
from cctbx import xray, crystal, miller
from cctbx.array_family import flex
from cctbx.eltbx import sasaki
import math
cs = crystal.symmetry(unit_cell=(4.5937,4.5937,2.9587,90,90,90), space_group_symbol="P1")
sc = flex.xray_scatterer()
pos = [("Ti",(0,0,0)),("Ti",(0.5,0.5,0.5)),("O",(0.30476,0.30476,0)),("O",(0.69524,0.69524,0)),("O",(0.80476,0.19524,0.5)),("O",(0.19524,0.80476,0.5))]
for i,(el,xyz) in enumerate(pos):
    s = sasaki.table(el).at_angstrom(1.540562)
    sc.append(xray.scatterer(label=el+str(i), site=xyz, u=0, scattering_type=el, fp=round(s.fp(),6), fdp=round(s.fdp(),6)))
xs = xray.structure(crystal_symmetry=cs, scatterers=sc)
xs.scattering_type_registry(table="it1992")
ms = miller.array(miller.set(cs, flex.miller_index([(1,1,0),(1,0,1),(2,0,0),(1,1,1),(2,1,1)]), anomalous_flag=True), data=flex.double(5))
fc = ms.structure_factors_from_scatterers(xs, algorithm="direct").f_calc()
for h, v in zip(fc.indices(), fc.data()):
    print(h, "%.3f %.3f %.3f" % (v.real, v.imag, abs(v)**2))
