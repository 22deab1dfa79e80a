<gml spec="1.0"><tag><drawing><stroke><pt><x>0.0</x><y>0.5</y><t>0</t></pt><pt><x>0.1</x><y>0.5</y><t>1</t></pt><pt><x>0.2</x><y>0.5</y><t>2</t></pt><pt><x>0.3</x><y>0.5</y><t>3</t></pt><pt><x>0.4</x><y>0.5</y><t>4</t></pt><pt><x>0.5</x><y>0.5</y><t>5</t></pt><pt><x>0.6</x><y>0.5</y><t>6</t></pt><pt><x>0.7</x><y>0.5</y><t>7</t></pt><pt><x>0.8</x><y>0.5</y><t>8</t></pt><pt><x>0.9</x><y>0.5</y><t>9</t></pt><pt><x>0.0</x><y>0.5</y><t>10</t></pt><pt><x>0.1</x><y>0.5</y><t>11</t></pt><pt><x>0.2</x><y>0.5</y><t>12</t></pt><pt><x>0.3</x><y>0.5</y><t>13</t></pt><pt><x>0.4</x><y>0.5</y><t>14</t></pt><pt><x>0.5</x><y>0.5</y><t>15</t></pt><p</stroke>
<stroke>
<pt>
<x>0.1</x>
<y>0.2</y>
<time>0.3</time>
</pt>
</stroke></drawing></tag></gml>
