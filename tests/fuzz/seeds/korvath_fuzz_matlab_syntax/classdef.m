classdef Shape < handle & pkg.Base
  properties (Access = private, Constant)
    Sides = 0
  end
  methods (Static = false)
    function obj = Shape(n)
      obj.Sides = pkg.util.count(n);
    end
  end
  methods (Static)
    function s = make()
      s = Shape(3);
    end
  end
  events
    Changed
  end
end
